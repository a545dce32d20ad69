// JobPipeline: start, cancel and the priority of the maker's runs; the CD run is CdRun's,
// the file run FileRun's.
#include "maker/jobs/job_pipeline.h"

#include <utility>

#include "common/paths.h"

namespace {

constexpr ThreadPriority kPriorities[] = {ThreadPriority::Idle,   ThreadPriority::Lowest, ThreadPriority::Lower,
                                          ThreadPriority::Normal, ThreadPriority::Higher, ThreadPriority::Highest};

}  // namespace

// The main loop is where the completions of the workers arrive (each worker posts its
// own); the pipeline itself needs no reference to it.
JobPipeline::JobPipeline(MainLoop& /*loop*/, PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings,
                         LibraryProbe probe)
    : probe_(std::move(probe)), ctx_(host, factory, settings), cd_(ctx_), file_(ctx_) {}

JobPipeline::~JobPipeline() {
  // Destroyed during a run (the window closed): no completion may reach the pipeline any
  // more, so every worker's is dropped before any of them is waited for; then each is
  // stopped and destroyed while the rest of the pipeline still exists.
  ctx_.cancelRequested = true;
  cd_.StopWorkers();
  file_.StopWorkers();
  cd_.ReleaseWorkers();
  file_.ReleaseWorkers();
}

CommandLineFiles JobPipeline::ApplyCommandLine(const std::vector<std::string>& args, CommandLineInputs inputs) {
  CommandLineFiles parsed = ParseCommandLine(args, ctx_.settings);
  if (parsed.deleteInputs) file_.SetDeleteInputs(true);
  Operation operation = Operation::WAV2MP3;
  if (inputs == CommandLineInputs::ByKind) {
    InputChoice choice = ChooseInputs(parsed.inputs);
    if (choice.operation) operation = *choice.operation;
    parsed.files = std::move(choice.files);
    parsed.refused = std::move(choice.refused);
    // A folder is an input here, not a missing file.
    std::erase_if(parsed.missing, [](const std::string& arg) { return DirectoryExists(FullPath(arg)); });
  }
  for (const auto& file : parsed.files) ctx_.host.AppendRow(JobList::Files, file);
  if (ctx_.host.RowCount(JobList::Files) > 0) {
    ctx_.host.SelectOperation(operation);
    autoStart_ = true;
  }
  return parsed;
}

void JobPipeline::FormShow() {
  ctx_.EnterIdleState();
  if (autoStart_ && StartEnabled()) {
    autoStart_ = false;
    StartButtonClick();
  }
}

// Start: checks the libraries, marks the selected rows pending and begins the first job.
void JobPipeline::StartButtonClick() {
  for (const auto& [library, entry] : {std::pair<const char*, const char*>{"zbntread", "XWI"}, {"zbdecode", nullptr}}) {
    const LibraryProbeResult probed = probe_(library, entry);
    if (probed.loaded) continue;
    std::string text = "ERROR: Cannot load ZIMBAR library";
    if (!probed.problem.empty()) text += ": " + probed.problem;
    ctx_.host.ShowError(text, kMakerErrorCaption);
    return;
  }
  // A decode in progress also blocks a new run: two decoders would share the row counter.
  if (Busy()) return;
  // A run that the question about existing outputs cancels clears no log.
  ctx_.operation = ctx_.host.SelectedOperation();
  if (!DecideExistingOutputs()) return;
  if (ctx_.settings.clearReaderLogOnStart != 0) ctx_.host.ClearLog(MakerLog::Reader);
  if (ctx_.settings.clearEncoderLogOnStart != 0) ctx_.host.ClearLog(MakerLog::Encoder);

  const bool cd = ctx_.operation == Operation::CD2MP3 || ctx_.operation == Operation::CD2WAV;
  ctx_.RememberSelection(cd ? JobList::Tracks : JobList::Files);
  if (!(cd ? cd_.Start() : file_.Start())) ctx_.ForgetSelection();  // nothing to do: no run began
}

bool JobPipeline::DecideExistingOutputs() {
  ctx_.keptOutputs.clear();
  if (ctx_.settings.confirmOverwrite == 0) return true;
  const bool cd = ctx_.operation == Operation::CD2MP3 || ctx_.operation == Operation::CD2WAV;
  std::vector<PlannedOutput> existing = ExistingOutputs(cd ? cd_.PlannedOutputs() : file_.PlannedOutputs());
  if (existing.empty()) return true;
  switch (ctx_.host.AskReplaceExisting(DistinctPaths(existing))) {
    case ReplaceAnswer::ReplaceAll:
      return true;
    case ReplaceAnswer::KeepAll:
      ctx_.keptOutputs = std::move(existing);
      return true;
    case ReplaceAnswer::Cancel:
      return false;
  }
  return false;
}

// Cancel: stops the running workers; their completions end the run.
void JobPipeline::CancelButtonClick() {
  ctx_.cancelRequested = true;
  cd_.Cancel();
  file_.Cancel();
}

bool JobPipeline::StartEnabled() const { return ctx_.StartEnabled(); }

std::string JobPipeline::TrackOutputPath(int track, const std::string& extension) const {
  return cd_.TrackOutputPath(track, extension);
}

void JobPipeline::MenuOptionsPrioritySelectionClick(std::optional<ThreadPriority> clicked) {
  if (clicked) {
    for (const ThreadPriority level : kPriorities) ctx_.host.SetMenuChecked(PriorityMenuItem(level), false);
    ctx_.host.SetMenuChecked(PriorityMenuItem(*clicked), true);
    ctx_.priority = *clicked;
  }
  cd_.ApplyPriority();
  file_.ApplyPriority();
}
