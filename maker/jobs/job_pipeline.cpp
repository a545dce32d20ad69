// JobPipeline: start, cancel, the workers and their encodes, and the window states of the
// maker's runs. The CD run's steps are in job_pipeline_cd.cpp, the file run's in
// job_pipeline_file_run.cpp.
#include "maker/jobs/job_pipeline.h"

#include <algorithm>
#include <cstdio>

#include "common/paths.h"

namespace {

// What a run disables and the idle state enables again.
constexpr MakerControl kBusyControls[] = {
    MakerControl::CD2MP3RadioButton, MakerControl::CD2WAVRadioButton, MakerControl::WAV2MP3RadioButton,
    MakerControl::MP32WAVRadioButton, MakerControl::InputCDComboBox,  MakerControl::CDInfoButton,
    MakerControl::OutputPathButton,  MakerControl::TracksList,        MakerControl::AddButton,
    MakerControl::AddDirButton,      MakerControl::RemoveButton,      MakerControl::ClearButton,
    MakerControl::FileListBox,       MakerControl::MenuOptionsSettings};

constexpr ThreadPriority kPriorities[] = {ThreadPriority::Idle,   ThreadPriority::Lowest, ThreadPriority::Lower,
                                          ThreadPriority::Normal, ThreadPriority::Higher, ThreadPriority::Highest};

bool IsCdOperation(Operation op) { return op == Operation::CD2MP3 || op == Operation::CD2WAV; }

}  // namespace

JobPipeline::JobPipeline(MainLoop& loop, PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings,
                         LibraryProbe probe)
    : loop_(loop),
      host_(host),
      factory_(factory),
      settings_(settings),
      probe_(std::move(probe)),
      jobFiles_(host) {}

JobPipeline::~JobPipeline() {
  // Destroyed during a run (the window closed): no completion may reach the pipeline any
  // more, so every worker's is dropped before any of them is waited for; then each is
  // stopped and destroyed while the rest of the pipeline still exists.
  cancelRequested_ = true;
  for (auto* worker : {reader_.get(), encoder_.get(), decoder_.get()}) {
    if (!worker) continue;
    worker->SetOnFinished(nullptr);
    worker->Cancel();
  }
  reader_.reset();
  encoder_.reset();
  decoder_.reset();
}

CommandLineFiles JobPipeline::ApplyCommandLine(const std::vector<std::string>& args) {
  CommandLineFiles parsed = ParseCommandLine(args, settings_);
  if (parsed.deleteInputs) deleteInputsThisRun_ = true;
  for (const auto& file : parsed.files) host_.AppendRow(JobList::Files, file);
  if (host_.RowCount(JobList::Files) > 0) {
    host_.SelectOperation(Operation::WAV2MP3);
    autoStart_ = true;
  }
  return parsed;
}

void JobPipeline::FormShow() {
  EnterIdleState();
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
    host_.ShowError(text, kMakerErrorCaption);
    return;
  }
  // A decode in progress also blocks a new run: two decoders would share the row counter.
  if (readerBusy_ || encoderBusy_ || decoderBusy_) return;
  if (settings_.clearReaderLogOnStart != 0) host_.ClearLog(MakerLog::Reader);
  if (settings_.clearEncoderLogOnStart != 0) host_.ClearLog(MakerLog::Encoder);

  operation_ = host_.SelectedOperation();
  switch (operation_) {
    case Operation::CD2MP3:
    case Operation::CD2WAV: {
      const int rows = host_.RowCount(JobList::Tracks);
      tracks_.Reset(rows);
      int first = 0;
      for (int row = 0; row < rows; ++row) {
        const bool selected = host_.RowSelected(JobList::Tracks, row);
        host_.SetRowStatus(JobList::Tracks, row, JobStatus::Pending);
        host_.SetRowSelected(JobList::Tracks, row, selected);
        if (selected && first == 0) first = row + 1;
      }
      if (first == 0) return;
      currentTrack_ = first;
      readPaths_.clear();
      confirmedOutputs_.clear();
      cancelRequested_ = false;
      EnterBusyState();
      StartTrackRead();
      return;
    }
    case Operation::WAV2MP3:
    case Operation::MP32WAV: {
      const int rows = host_.RowCount(JobList::Files);
      // With no rows there is no job; starting would address a row that does not exist.
      if (rows == 0) return;
      files_.Reset(rows);
      for (int row = 0; row < rows; ++row) SetFileStatus(row, JobStatus::Pending);
      cancelRequested_ = false;
      currentFile_ = 0;
      EnterBusyState();
      if (operation_ == Operation::WAV2MP3)
        StartFileEncode();
      else
        StartFileDecode();
      return;
    }
  }
}

void JobPipeline::StartWorker(std::unique_ptr<JobWorker>& slot, std::unique_ptr<JobWorker> worker,
                              void (JobPipeline::*ended)(JobWorker*)) {
  slot = std::move(worker);
  JobWorker* started = slot.get();
  started->SetOnFinished([this, started, ended] { (this->*ended)(started); });
  started->Start();
}

std::unique_ptr<JobWorker> JobPipeline::TakeEndedWorker(std::unique_ptr<JobWorker>& slot, JobWorker* worker) {
  if (worker != slot.get()) return nullptr;
  std::unique_ptr<JobWorker> ended = std::move(slot);
  ended->Join();
  return ended;
}

EncoderJob JobPipeline::MakeEncoderJob(const std::string& inputPath) const {
  const int mode = settings_.EncoderMode();
  EncoderJob job;
  job.inputPath = inputPath;
  job.mpegMode = mode;
  const auto bitRate = static_cast<uint16_t>(settings_.SelectedBitRateKbps());
  job.mp3 = {.bitRate = bitRate,
             .mono = mode != kModeAac && settings_.channels == 0,
             .mpeg2 = mode == kModeMpeg2,
             .jointStereo = settings_.channels == 2,
             .fastMode = settings_.fastMode != 0};
  job.aac = {.bitRate = bitRate,
             .jointStereo = settings_.channels == 2,
             .useTns = settings_.useTns != 0,
             .useLtp = settings_.useLtp != 0,
             .adts = settings_.aacUseAdts != 0};
  const std::string output = ChangeFileExt(inputPath, EncodedExtension());
  job.confirmOverwrite = settings_.confirmOverwrite != 0 &&
                         std::find(confirmedOutputs_.begin(), confirmedOutputs_.end(), output) == confirmedOutputs_.end();
  job.keepPartialOutput =
      (operation_ == Operation::CD2MP3 ? settings_.cd2mp3DelMp3OnError : settings_.wav2mp3DelMp3OnError) == 0;
  job.startTime = Now();
  job.externalCommand = settings_.SelectedExternalProgram();
  return job;
}

std::string JobPipeline::EncodedExtension() const {
  return settings_.EncoderMode() == kModeAac ? ".aac" : ".mp3";
}

void JobPipeline::LaunchEncoder(const EncoderJob& job) {
  codecEnd_ = WorkEnd::Finished;
  codecJob_.outputBefore = FileState::Of(codecJob_.output);
  encoderStart_ = job.startTime;
  StartWorker(encoder_, factory_.MakeEncoder(job), &JobPipeline::EncoderEnded);
  MenuOptionsPrioritySelectionClick(std::nullopt);
}

void JobPipeline::EncoderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(encoder_, worker);
  if (!ended) return;
  codecEnd_ = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  OnEncoderFinished();
}

// Completion of an encode (track or file).
void JobPipeline::OnEncoderFinished() {
  if (!encoderBusy_) return;
  // An encode that kept the existing output wrote nothing: that file gets no second tag.
  const bool declined = JobDeclined();
  const int mode = settings_.EncoderMode();
  if (!CodecFailed() && !declined && operation_ == Operation::CD2MP3 &&
      (mode == kModeMpeg1 || mode == kModeMpeg2) && host_.CdInformation().applyId3)
    AppendId3Tag();

  encoderBusy_ = false;
  if (cancelRequested_)
    host_.AppendLog(MakerLog::Encoder, LogEvent::Done("    Cancelled."));
  else if (codecEnd_ == WorkEnd::Failed)
    // On success the encoder's own completion report has written this line already.
    LogDone(MakerLog::Encoder, encoderStart_);

  if (operation_ == Operation::CD2MP3)
    EndTrackEncode(declined);
  else
    EndFileEncode(declined);
}

// Cancel: stops the running workers; their completions end the run.
void JobPipeline::CancelButtonClick() {
  cancelRequested_ = true;
  if (readerBusy_ && reader_) reader_->Cancel();
  if (encoderBusy_ && encoder_) encoder_->Cancel();
  if (decoderBusy_ && decoder_) decoder_->Cancel();
}

// Window states.
void JobPipeline::EnterBusyState() {
  for (const MakerControl control : kBusyControls) host_.SetControlEnabled(control, false);
  const char* hint = operation_ == Operation::WAV2MP3   ? "Cancel Encoding"
                     : operation_ == Operation::MP32WAV ? "Cancel Decoding"
                                                        : "Cancel Reading and Encoding";
  host_.SetControlHint(MakerControl::CancelButton, hint);
  host_.SetControlVisible(MakerControl::StartButton, false);
  host_.SetControlVisible(MakerControl::CancelButton, true);
}

bool JobPipeline::AnyRowSelected(JobList list) const {
  const int rows = host_.RowCount(list);
  for (int row = 0; row < rows; ++row)
    if (host_.RowSelected(list, row)) return true;
  return false;
}

bool JobPipeline::StartEnabled() const {
  return IsCdOperation(host_.SelectedOperation()) ? AnyRowSelected(JobList::Tracks) : host_.RowCount(JobList::Files) > 0;
}

void JobPipeline::EnterIdleState() {
  const Operation op = host_.SelectedOperation();
  for (const MakerControl control : kBusyControls) host_.SetControlEnabled(control, true);
  host_.SetControlEnabled(MakerControl::RemoveButton, AnyRowSelected(JobList::Files));
  host_.SetStatusText(MakerPanel::Reader, " CD Reader: Idle");
  host_.SetStatusText(MakerPanel::Encoder, op == Operation::MP32WAV ? " MP3 Decoder: Idle" : " MP3 Encoder: Idle");
  host_.SetControlEnabled(MakerControl::StartButton, StartEnabled());
  host_.SetControlHint(MakerControl::StartButton, op == Operation::WAV2MP3   ? "Start Encoding"
                                      : op == Operation::MP32WAV ? "Start Decoding"
                                                                 : "Start Reading CD");
  host_.SetControlVisible(MakerControl::StartButton, true);
  host_.SetControlVisible(MakerControl::CancelButton, false);
  encoderBusy_ = false;
  readerBusy_ = false;
  // A reader still stopping belongs to the run that ends here.
  if (reader_) readerOrphaned_ = true;
}

void JobPipeline::SignalDone() {
  const bool beep = settings_.beepWhenDone != 0;
  if (beep) host_.Beep();
  if (settings_.bringToFrontWhenDone != 0) host_.BringToFront();
  if (beep) {
    host_.Beep();
    host_.Beep();
  }
}

void JobPipeline::MenuOptionsPrioritySelectionClick(std::optional<ThreadPriority> clicked) {
  if (clicked) {
    for (const ThreadPriority level : kPriorities) host_.SetMenuChecked(PriorityMenuItem(level), false);
    host_.SetMenuChecked(PriorityMenuItem(*clicked), true);
    priority_ = *clicked;
  }
  if (encoderBusy_ && encoder_) encoder_->SetPriority(priority_);
}

bool JobPipeline::JobDeclined() {
  // A cancelled job is not counted as one that kept its output (a failed one never is).
  if (codecEnd_ != WorkEnd::Kept || cancelRequested_) return false;
  ++skippedJobs_;
  return true;
}

void JobPipeline::LogDone(MakerLog log, std::time_t start) {
  char line[64];
  std::snprintf(line, sizeof line, "    Done (%li seconds).", static_cast<long>(Now() - start));
  host_.AppendLog(log, LogEvent::Done(line));
}
