// Several file conversions at once, each on a job pipeline of its own.
#include "maker/batch/parallel_file_run.h"

#include <algorithm>

#include "common/paths.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/jobs/run_context.h"

// One pipeline with a file list of one row, the row of `host` it works on. What the
// pipeline shows goes to the terminal host, marked with the row; window controls are
// none. The pipeline's return to the idle state (Start visible again) ends the job.
class ParallelFileRun::Lane final : public PipelineHost {
 public:
  Lane(ParallelFileRun& run, int index, LibraryProbe probe, bool deleteInputs)
      : run_(run),
        index_(index),
        factory_(run.loop_, *this),
        pipeline_(run.loop_, *this, factory_, run.settings_, std::move(probe)) {
    pipeline_.SetDeleteInputsThisRun(deleteInputs);
    // The run tags the files of all lanes together: a folder's files are one album
    // whichever lane encoded them.
    pipeline_.SetReplayGainSink([this](const ReplayGainFile& file) { run_.measured_.emplace_back(row_, file); });
  }

  // Starts the job on `row`; false when the pipeline refused to start.
  bool Start(int row) {
    row_ = row;
    selected_ = false;
    beeps_ = 0;
    running_ = true;
    run_.host_.BeginJob(index_, row);
    pipeline_.StartButtonClick();
    if (!pipeline_.Busy()) running_ = false;
    return running_ || ending_;
  }
  void Cancel() {
    if (running_) pipeline_.CancelButtonClick();
  }
  // Running, or ended and waiting for the loop to hand it back to the run.
  bool Busy() const { return running_ || ending_ || pipeline_.Busy() || pipeline_.HasLiveWorkers(); }
  bool Running() const { return running_ || ending_; }
  int Row() const { return row_; }
  int Beeps() const { return beeps_; }

  // The run's end of the job, on the loop after the pipeline's own handling is over.
  void HandBack() { ending_ = false; }

  void AppendLog(MakerLog, const LogEvent& event) override { run_.host_.AppendJobLog(index_, row_, event); }
  void SetStatusText(MakerPanel panel, const std::string& text) override {
    if (panel == MakerPanel::Encoder) run_.host_.SetJobStatus(index_, row_, text);
  }
  bool AskYesNo(const std::string& text, const std::string&) override { return run_.host_.AskJobYesNo(row_, text); }
  ReplaceAnswer AskReplaceExisting(const std::vector<std::string>& paths) override {
    return run_.host_.AskJobReplaceExisting(row_, paths);
  }

  Operation SelectedOperation() const override { return run_.host_.SelectedOperation(); }
  void SelectOperation(Operation) override {}
  int RowCount(JobList list) const override { return list == JobList::Files && row_ >= 0 ? 1 : 0; }
  std::string TrackName(int) const override { return {}; }
  std::string FilePath(int row) const override { return row == 0 ? run_.host_.FilePath(row_) : std::string(); }
  void SetRowStatus(JobList list, int row, JobStatus status) override {
    if (list == JobList::Files && row == 0) run_.host_.SetRowStatus(JobList::Files, row_, status);
  }
  bool RowSelected(JobList list, int row) const override { return list == JobList::Files && row == 0 && selected_; }
  void SetRowSelected(JobList list, int row, bool selected) override {
    if (list == JobList::Files && row == 0) selected_ = selected;
  }
  void AppendRow(JobList, const std::string&) override {}
  void ClearLog(MakerLog) override {}
  void SetControlEnabled(MakerControl, bool) override {}
  void SetControlVisible(MakerControl control, bool visible) override {
    if (control != MakerControl::StartButton || !visible || !running_) return;
    running_ = false;
    ending_ = true;
    run_.loop_.Post([this] { run_.LaneEnded(*this); });
  }
  void SetControlHint(MakerControl, const std::string&) override {}
  void SetMenuChecked(MakerControl, bool) override {}
  void ShowError(const std::string& text, const std::string& caption) override { run_.host_.ShowError(text, caption); }
  // The done signal of one job; the run gives it once, at its end.
  void Beep() override { ++beeps_; }
  void BringToFront() override {}
  int SelectedDrive() const override { return 0; }
  CdInfo CdInformation() const override { return run_.host_.CdInformation(); }

 private:
  ParallelFileRun& run_;
  const int index_;
  int row_ = -1;
  bool selected_ = false;
  bool running_ = false;
  bool ending_ = false;
  int beeps_ = 0;
  RealJobWorkerFactory factory_;
  JobPipeline pipeline_;
};

ParallelFileRun::ParallelFileRun(MainLoop& loop, TerminalHost& host, SettingsTable& settings, LibraryProbe probe,
                                 std::vector<int> rows, int lanes, bool deleteInputs)
    : loop_(loop), host_(host), settings_(settings), rows_(std::move(rows)), writerFactory_(loop, host) {
  // The libraries are looked at once for the whole run, not again for every file.
  auto cache = std::make_shared<std::vector<std::pair<std::string, LibraryProbeResult>>>();
  LibraryProbe cached = [probe = std::move(probe), cache](const std::string& library, const char* entry) {
    const std::string key = library + '\0' + (entry ? entry : "");
    for (const auto& [known, result] : *cache)
      if (known == key) return result;
    cache->emplace_back(key, probe(library, entry));
    return cache->back().second;
  };
  for (int i = 0; i < lanes; ++i) lanes_.push_back(std::make_unique<Lane>(*this, i, cached, deleteInputs));
}

ParallelFileRun::~ParallelFileRun() {
  RunContext::DropAndCancel(replayGain_);
  replayGain_.reset();
}

void ParallelFileRun::Start() {
  if (rows_.empty() || lanes_.empty()) return;
  // The first job shows whether the run can start at all; only then are the other rows
  // marked as waiting, as one pipeline marks them at its start.
  if (!lanes_.front()->Start(rows_[next_++])) {
    refused_ = true;
    return;
  }
  for (size_t i = next_; i < rows_.size(); ++i)
    host_.SetRowStatus(JobList::Files, rows_[i], JobStatus::Pending);
  FillLanes();
}

void ParallelFileRun::Cancel() {
  cancelled_ = true;
  for (auto& lane : lanes_) lane->Cancel();
  if (replayGain_) replayGain_->Cancel();
}

bool ParallelFileRun::Finished() const {
  if (replayGain_) return false;
  if (refused_) return std::none_of(lanes_.begin(), lanes_.end(), [](const auto& lane) { return lane->Busy(); });
  if (std::any_of(lanes_.begin(), lanes_.end(), [](const auto& lane) { return lane->Busy(); })) return false;
  return cancelled_ || next_ >= rows_.size();
}

void ParallelFileRun::LaneEnded(Lane& lane) {
  lane.HandBack();
  if (!cancelled_) doneBeeps_ = lane.Beeps();
  FillLanes();
  if (!Finished() || cancelled_ || refused_) return;
  if (StartReplayGain()) return;
  SignalDone();
}

void ParallelFileRun::SignalDone() {
  for (int i = 0; i < doneBeeps_; ++i) host_.Beep();
}

bool ParallelFileRun::StartReplayGain() {
  if (measured_.empty()) return false;
  // In the order of the rows, as one pipeline would have measured them.
  std::stable_sort(measured_.begin(), measured_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<ReplayGainFile> files;
  for (auto& [row, file] : measured_) files.push_back(std::move(file));
  measured_.clear();
  ReplayGainJob job;
  job.albums = AlbumsByFolder(std::move(files));
  size_t count = 0;
  for (const auto& album : job.albums) count += album.size();
  host_.AppendLog(MakerLog::Encoder, LogEvent::Begin());
  host_.AppendLog(MakerLog::Encoder,
                  LogEvent::Info("ReplayGain: " + std::to_string(count) + (count == 1 ? " file" : " files") + " of " +
                                 std::to_string(job.albums.size()) + (job.albums.size() == 1 ? " album" : " albums")));
  RunContext::StartWorker(replayGain_, writerFactory_.MakeReplayGainWriter(job),
                          [this](JobWorker* worker) { ReplayGainEnded(worker); });
  return true;
}

void ParallelFileRun::ReplayGainEnded(JobWorker* worker) {
  if (!RunContext::TakeEndedWorker(replayGain_, worker)) return;
  if (cancelled_) {
    host_.AppendLog(MakerLog::Encoder, LogEvent::Done("    Cancelled."));
    return;
  }
  SignalDone();
}

void ParallelFileRun::FillLanes() {
  for (auto& lane : lanes_) {
    if (cancelled_ || refused_ || next_ >= rows_.size()) return;
    if (lane->Busy()) continue;
    // Rows keep their order: one that must wait for a running job holds back the rest.
    if (ClashesWithRunningJob(rows_[next_])) return;
    if (!lane->Start(rows_[next_++])) {
      refused_ = true;
      return;
    }
  }
}

std::vector<std::string> ParallelFileRun::JobFiles(int row) const {
  const std::string input = host_.FilePath(row);
  const std::string extension = host_.SelectedOperation() == Operation::MP32WAV
                                    ? ".wav"
                                    : std::string(EncoderExtension(settings_.EncoderMode()));
  return {input, ChangeFileExt(input, extension)};
}

bool ParallelFileRun::ClashesWithRunningJob(int row) const {
  const std::vector<std::string> files = JobFiles(row);
  for (const auto& lane : lanes_) {
    if (!lane->Running()) continue;
    for (const std::string& used : JobFiles(lane->Row()))
      if (std::find(files.begin(), files.end(), used) != files.end()) return true;
  }
  return false;
}
