// RunContext: the worker slots, the encode job, the log lines and the window states that
// the CD run and the file run share.
#include "maker/jobs/run_context.h"

#include <algorithm>
#include <cstdio>

#include "common/paths.h"
#include "common/processor_count.h"
#include "maker/jobs/run_notice.h"

namespace {

// What a run disables and the idle state enables again.
constexpr MakerControl kBusyControls[] = {
    MakerControl::CD2MP3RadioButton, MakerControl::CD2WAVRadioButton, MakerControl::WAV2MP3RadioButton,
    MakerControl::MP32WAVRadioButton, MakerControl::InputCDComboBox,  MakerControl::CDInfoButton,
    MakerControl::OutputPathButton,  MakerControl::TracksList,        MakerControl::AddButton,
    MakerControl::AddDirButton,      MakerControl::RemoveButton,      MakerControl::ClearButton,
    MakerControl::FileListBox,       MakerControl::MenuOptionsSettings};

bool IsCdOperation(Operation op) { return op == Operation::CD2MP3 || op == Operation::CD2WAV; }

}  // namespace

void RunContext::StartWorker(std::unique_ptr<JobWorker>& slot, std::unique_ptr<JobWorker> worker,
                             std::function<void(JobWorker*)> ended) {
  slot = std::move(worker);
  JobWorker* started = slot.get();
  started->SetOnFinished([started, ended = std::move(ended)] { ended(started); });
  started->Start();
}

std::unique_ptr<JobWorker> RunContext::TakeEndedWorker(std::unique_ptr<JobWorker>& slot, JobWorker* worker) {
  if (worker != slot.get()) return nullptr;
  std::unique_ptr<JobWorker> ended = std::move(slot);
  ended->Join();
  return ended;
}

std::optional<WorkEnd> RunContext::TakeWorkEnd(std::unique_ptr<JobWorker>& slot, JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(slot, worker);
  if (!ended) return std::nullopt;
  return WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
}

void RunContext::DropAndCancel(const std::unique_ptr<JobWorker>& slot) {
  if (!slot) return;
  slot->SetOnFinished(nullptr);
  slot->Cancel();
}

EncoderJob RunContext::MakeEncoderJob(const std::string& inputPath) const {
  const int mode = settings.EncoderMode();
  EncoderJob job;
  job.inputPath = inputPath;
  job.mpegMode = mode;
  const auto bitRate = static_cast<uint16_t>(settings.SelectedBitRateKbps());
  job.mp3 = {.bitRate = bitRate,
             .mono = mode != kModeAac && settings.channels == 0,
             .mpeg2 = mode == kModeMpeg2,
             .jointStereo = settings.channels == 2,
             .fastMode = settings.fastMode != 0};
  job.aac = {.bitRate = bitRate,
             .jointStereo = settings.channels == 2,
             .useTns = settings.useTns != 0,
             .useLtp = settings.useLtp != 0,
             .adts = settings.aacUseAdts != 0};
  job.m4a = {.bitRate = settings.M4aBitRateKbps()};
  job.flac = {.level = settings.FlacLevelValue(), .verify = settings.flacVerify != 0};
  job.vorbis = {.quality = settings.VorbisQualityValue()};
  job.opus = {.bitRate = settings.OpusBitRateKbps()};
  job.confirmOverwrite = false;
  job.keepPartialOutput =
      (operation == Operation::CD2MP3 ? settings.cd2mp3DelMp3OnError : settings.wav2mp3DelMp3OnError) == 0;
  job.startTime = Now();
  job.externalCommand = settings.SelectedExternalProgram();
  return job;
}

std::string RunContext::EncoderIdleText() const {
  // Appended piece by piece: GCC 12 warns wrongly about a chained operator+ here.
  std::string text = " ";
  text += EncoderFormatName(settings.EncoderMode());
  text += " Encoder: Idle";
  return text;
}

std::string RunContext::EncodedExtension() const { return std::string(EncoderExtension(settings.EncoderMode())); }

bool RunContext::JobDeclined(WorkEnd end) {
  // A cancelled job is not counted as one that kept its output (a failed one never is).
  if (end != WorkEnd::Kept || cancelRequested) return false;
  ++skippedJobs;
  return true;
}

int RunContext::EncoderLanes() const {
  if (encoderLanes) return std::max(1, *encoderLanes);
  return settings.EncoderLanes(ProcessorCount());
}

void RunContext::LogJobEnd(WorkerHost& to, MakerLog log, WorkEnd end, std::time_t start, const std::string& output) {
  if (cancelRequested) {
    to.AppendLog(log, LogEvent::Done("    Cancelled."));
    return;
  }
  switch (end) {
    case WorkEnd::Failed:
    case WorkEnd::NotRun:
      return;
    case WorkEnd::Kept:
      to.AppendLog(log, LogEvent::Done("    Kept the existing file " + output + "."));
      return;
    case WorkEnd::Finished:
    case WorkEnd::Warned:
      to.AppendLog(log, LogEvent::Done(DoneText(static_cast<long>(Now() - start))));
      return;
  }
}

void RunContext::LogKeptJob(MakerLog log, const std::string& heading, const std::string& subject,
                            const std::string& output, const std::string& why) {
  host.AppendLog(log, LogEvent::Begin());
  host.AppendLog(log, LogEvent::Info(heading, subject));
  host.AppendLog(log, LogEvent::Done("    Kept the existing file " + output + " (" + why + ").", subject));
}

void RunContext::EnterBusyState() {
  for (const MakerControl control : kBusyControls) host.SetControlEnabled(control, false);
  const char* hint = operation == Operation::WAV2MP3   ? "Cancel Encoding"
                     : operation == Operation::MP32WAV ? "Cancel Decoding"
                                                       : "Cancel Reading and Encoding";
  host.SetControlHint(MakerControl::CancelButton, hint);
  host.SetControlVisible(MakerControl::StartButton, false);
  host.SetControlVisible(MakerControl::CancelButton, true);
}

bool RunContext::AnyRowSelected(JobList list) const {
  const int rows = host.RowCount(list);
  for (int row = 0; row < rows; ++row)
    if (host.RowSelected(list, row)) return true;
  return false;
}

bool RunContext::StartEnabled() const {
  return IsCdOperation(host.SelectedOperation()) ? AnyRowSelected(JobList::Tracks) : host.RowCount(JobList::Files) > 0;
}

void RunContext::RememberSelection(JobList list) {
  selectionList_ = list;
  selection_.clear();
  const int rows = host.RowCount(list);
  for (int row = 0; row < rows; ++row) selection_.push_back(host.RowSelected(list, row));
}

void RunContext::RestoreSelection() {
  if (!selectionList_) return;
  const JobList list = *selectionList_;
  selectionList_.reset();
  const int rows = std::min(host.RowCount(list), static_cast<int>(selection_.size()));
  for (int row = 0; row < rows; ++row) host.SetRowSelected(list, row, selection_[static_cast<size_t>(row)]);
}

void RunContext::EnterIdleState() {
  RestoreSelection();
  const Operation op = host.SelectedOperation();
  for (const MakerControl control : kBusyControls) host.SetControlEnabled(control, true);
  host.SetControlEnabled(MakerControl::RemoveButton, AnyRowSelected(JobList::Files));
  host.SetStatusText(MakerPanel::Reader, " CD Reader: Idle");
  host.SetStatusText(MakerPanel::Encoder, op == Operation::MP32WAV ? " MP3 Decoder: Idle" : EncoderIdleText());
  host.SetControlEnabled(MakerControl::StartButton, StartEnabled());
  host.SetControlHint(MakerControl::StartButton, op == Operation::WAV2MP3   ? "Start Encoding"
                                                 : op == Operation::MP32WAV ? "Start Decoding"
                                                                            : "Start Reading CD");
  host.SetControlVisible(MakerControl::StartButton, true);
  host.SetControlVisible(MakerControl::CancelButton, false);
}

void RunContext::SignalDone(const JobTable& jobs) {
  const bool beep = settings.beepWhenDone != 0;
  if (beep) host.Beep();
  if (settings.bringToFrontWhenDone != 0) host.BringToFront();
  if (beep) {
    host.Beep();
    host.Beep();
  }
  host.RunDone(SummarizeRun(operation, jobs));
}
