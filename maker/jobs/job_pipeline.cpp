// JobPipeline: start, chaining, completion and cancel of the maker's jobs.
#include "maker/jobs/job_pipeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/id3v1_tag.h"
#include "common/output_file.h"
#include "common/tags/tag_file.h"
#include "common/paths.h"
#include "maker/cd/cd_drive_menu.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/metadata/track_tag.h"

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

int64_t Nanoseconds(const timespec& t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

}  // namespace

std::optional<JobPipeline::FileState> JobPipeline::StatFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileState{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
                   Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

JobPipeline::JobPipeline(MainLoop& loop, PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings,
                         LibraryProbe probe, OverwriteAnswers* answers)
    : loop_(loop),
      host_(host),
      factory_(factory),
      settings_(settings),
      probe_(std::move(probe)),
      answers_(answers) {}

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

// Reads the track row currentTrack_.
void JobPipeline::StartTrackRead() {
  readerOutputPath_ = TrackOutputPath(currentTrack_, operation_ == Operation::CD2MP3 ? ".tmp" : ".wav");
  readerWarning_ = false;
  readerError_ = false;
  readerDeclined_ = false;
  readerKept_ = false;
  readerBusy_ = true;

  // Two tracks of one run with the same name would share one file: the second read would
  // overwrite the first track's WAV, or its ".tmp" while the encoder reads it. The second
  // track fails instead, without touching that file (no delete-on-error either).
  for (const auto& [path, track] : readPaths_) {
    if (path != readerOutputPath_) continue;
    LogTrackHeading();
    char line[96];
    std::snprintf(line, sizeof line, "    Error: Track %02i has the same file name as track %02i: ", currentTrack_, track);
    host_.AppendLog(MakerLog::Reader, line + path);
    readerOutputPath_.clear();
    readerError_ = true;
    OnReaderFinished();
    return;
  }
  if (!MayReplaceEncodedOutput()) {
    readerOutputPath_.clear();
    readerKept_ = true;
    OnReaderFinished();
    return;
  }
  readPaths_.emplace_back(readerOutputPath_, currentTrack_);
  if (Job* read = tracks_.At(currentTrack_ - 1)) read->inputPath = readerOutputPath_;

  const int mode = settings_.EncoderMode();
  ReaderJob job;
  job.drive = host_.SelectedDrive();
  job.outputPath = readerOutputPath_;
  job.sectorsPerRead = CdSectorsPerRead(settings_.readSector);
  job.jitterCorrection = settings_.jitterCorrection != 0;
  job.overlapPercent = CdOverlapPercent(settings_.overlapPercent);
  job.maxSyncNoMatchRetry = settings_.maxSyncNoMatchRetry;
  job.maxSyncMisalignRetry = settings_.maxSyncMisalignRetry;
  job.rate22050 = mode == kModeMpeg2 && operation_ == Operation::CD2MP3;
  job.mono = mode != kModeAac && settings_.channels == 0;
  job.track = currentTrack_;
  job.normalize = settings_.normalize != 0;
  job.normalizePercent = settings_.normalizePercent;
  job.normalizeMin = settings_.normalizeMin;
  job.normalizeMax = settings_.normalizeMax;
  job.confirmOverwrite = settings_.confirmOverwrite != 0;
  job.keepPartialOutput =
      (operation_ == Operation::CD2MP3 ? settings_.cd2mp3DelTempOnError : settings_.cd2wavDelWavOnError) == 0;
  job.osInterface = settings_.useWinNtRawRead != 0;
  job.readMode = settings_.aspiReadMode;
  readerStart_ = Now();
  job.startTime = readerStart_;

  if (reader_) {
    // The previous run's reader is still stopping; this read starts when it has ended.
    deferredRead_ = job;
    return;
  }
  LaunchReader(job);
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

void JobPipeline::LaunchReader(const ReaderJob& job) {
  readerOutputBefore_ = StatFile(job.outputPath);
  StartWorker(reader_, factory_.MakeReader(job), &JobPipeline::ReaderEnded);
}

void JobPipeline::ReaderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(reader_, worker);
  if (!ended) return;
  // Taken for every reader, so an answer of a stopped run never reaches the next read.
  const bool declined = answers_ != nullptr && answers_->TakeReaderDeclined();
  if (readerOrphaned_) {
    readerOrphaned_ = false;
    if (!deferredRead_) return;
    ReaderJob job = *deferredRead_;
    deferredRead_.reset();
    if (!cancelRequested_) {
      // The elapsed time of the read counts from now, not from the Start that waited.
      readerStart_ = job.startTime = Now();
      LaunchReader(job);
      return;
    }
    // The held-back read was cancelled before it began: it ends as a cancelled read that
    // wrote no file (so none is deleted).
    readerOutputPath_.clear();
    readerError_ = false;
    readerWarning_ = false;
    readerDeclined_ = false;
    OnReaderFinished();
    return;
  }
  readerError_ = ended->Error();
  readerWarning_ = ended->Warning();
  readerDeclined_ = declined;
  OnReaderFinished();
}

// Completion of a track read.
void JobPipeline::OnReaderFinished() {
  if (!readerBusy_) return;
  if (readerKept_) {
    // The track's encoded output exists and may not be replaced: it was not read.
    ++skippedJobs_;
    SetTrackStatus(currentTrack_, JobStatus::Kept);
  } else {
    if (cancelRequested_)
      host_.AppendLog(MakerLog::Reader, "    Cancelled.");
    else if (!readerError_)
      LogDone(MakerLog::Reader, readerStart_);

    if ((cancelRequested_ || readerError_) &&
        ((settings_.cd2mp3DelTempOnError != 0 && operation_ == Operation::CD2MP3) ||
         (settings_.cd2wavDelWavOnError != 0 && operation_ == Operation::CD2WAV)))
      DeleteWrittenFile(readerOutputPath_, readerOutputBefore_, MakerLog::Reader);

    // A CD to WAV read that kept an existing WAV wrote nothing. (In CD to MP3 the kept
    // ".tmp" is what the encoder then encodes, so the track's outcome is the encode's.)
    const bool kept = readerDeclined_ && operation_ == Operation::CD2WAV && !cancelRequested_ && !readerError_;
    if (kept) ++skippedJobs_;
    if (host_.RowCount(JobList::Tracks) > 0) {
      const JobStatus status = cancelRequested_ ? JobStatus::Cancelled
                               : readerError_   ? JobStatus::Failed
                               : kept           ? JobStatus::Kept
                               : operation_ == Operation::CD2MP3
                                   ? (readerWarning_ ? JobStatus::ReadWarned : JobStatus::Read)
                                   : (readerWarning_ ? JobStatus::FinishedWarned : JobStatus::Finished);
      SetTrackStatus(currentTrack_, status);
    }

    if (!cancelRequested_ && !readerError_) StartTrackEncode();
  }

  const int rows = host_.RowCount(JobList::Tracks);
  int next = currentTrack_ + 1;
  while (next <= rows && !host_.RowSelected(JobList::Tracks, next - 1)) ++next;
  if (!cancelRequested_ && next <= rows) {
    currentTrack_ = next;
    StartTrackRead();
    return;
  }
  readerBusy_ = false;
  host_.SetStatusText(MakerPanel::Reader, " CD Reader: Idle");
  if (encoderBusy_) return;
  if (cancelRequested_) EndWaitingReads();
  EnterIdleState();
  if (!cancelRequested_) SignalDone();
}

bool JobPipeline::MayReplaceEncodedOutput() {
  // Asked before the read, so that a track whose output is kept is not read for nothing.
  if (operation_ != Operation::CD2MP3 || settings_.EncoderMode() == kModeExternal ||
      settings_.confirmOverwrite == 0)
    return true;
  const std::string encoded = ChangeFileExt(readerOutputPath_, EncodedExtension());
  if (!FileExists(encoded)) return true;
  if (!host_.AskYesNo("Overwrite existing file " + encoded + " ?", kMakerConfirmCaption)) {
    LogTrackHeading();
    host_.AppendLog(MakerLog::Reader, "    Kept the existing file " + encoded + " (track not read).");
    return false;
  }
  confirmedOutputs_.push_back(encoded);  // the encode does not ask again
  return true;
}

// Encodes the first track row waiting for the encoder (CD to MP3).
void JobPipeline::StartTrackEncode() {
  if (encoderBusy_) return;
  host_.SetStatusText(MakerPanel::Encoder, " MP3 Encoder: Idle");
  const int found = tracks_.FirstWaitingForEncoder(host_.RowCount(JobList::Tracks)) + 1;
  if (found == 0) {
    encoderBusy_ = false;
    if (readerBusy_) return;
    EnterIdleState();
    if (!cancelRequested_) SignalDone();
    return;
  }
  encoderBusy_ = true;
  EnterBusyState();
  codecInputPath_ = TrackOutputPath(found, ".tmp");
  codecOutputPath_ = ChangeFileExt(codecInputPath_, EncodedExtension());
  encodingTrack_ = found;
  if (Job* encode = tracks_.At(found - 1)) encode->outputPath = codecOutputPath_;
  LaunchEncoder(MakeEncoderJob(codecInputPath_));
}

EncoderJob JobPipeline::MakeEncoderJob(const std::string& inputPath) const {
  const int mode = settings_.EncoderMode();
  EncoderJob job;
  job.inputPath = inputPath;
  job.mpegMode = mode;
  job.bitRate = static_cast<uint16_t>(settings_.SelectedBitRateKbps());
  job.mono = mode != kModeAac && settings_.channels == 0;
  job.mpeg2 = mode == kModeMpeg2;
  job.jointStereo = settings_.channels == 2;
  job.fastMode = settings_.fastMode != 0;
  job.useLtp = settings_.useLtp != 0;
  job.useTns = settings_.useTns != 0;
  job.useAdts = settings_.aacUseAdts != 0;
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
  encoderError_ = false;
  outputBefore_ = StatFile(codecOutputPath_);
  encoderStart_ = job.startTime;
  StartWorker(encoder_, factory_.MakeEncoder(job), &JobPipeline::EncoderEnded);
  MenuOptionsPrioritySelectionClick(std::nullopt);
}

void JobPipeline::EncoderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(encoder_, worker);
  if (!ended) return;
  encoderError_ = ended->Error();
  OnEncoderFinished();
}

// Completion of an encode (track or file).
void JobPipeline::OnEncoderFinished() {
  if (!encoderBusy_) return;
  // An encode that kept the existing output wrote nothing: that file gets no second tag.
  const bool declined = JobDeclined(cancelRequested_ || encoderError_);
  const int mode = settings_.EncoderMode();
  if (!cancelRequested_ && !encoderError_ && !declined && operation_ == Operation::CD2MP3 &&
      (mode == kModeMpeg1 || mode == kModeMpeg2) && host_.CdInformation().applyId3)
    AppendId3Tag();

  encoderBusy_ = false;
  if (cancelRequested_)
    host_.AppendLog(MakerLog::Encoder, "    Cancelled.");
  else if (encoderError_)
    // On success the encoder's own completion report has written this line already.
    LogDone(MakerLog::Encoder, encoderStart_);

  const bool failed = cancelRequested_ || encoderError_;
  if (operation_ == Operation::CD2MP3) {
    if (failed) {
      EndTemporaryInput(encodingTrack_, codecInputPath_, cancelRequested_ ? "cancelled" : "the encode failed");
      if (settings_.cd2mp3DelMp3OnError != 0) DeleteJobOutput();
    } else if (settings_.cd2mp3DelTempOnSuccess != 0 && !declined) {
      DeleteJobFile(codecInputPath_, MakerLog::Encoder);
    }
    if (const int rows = host_.RowCount(JobList::Tracks); rows > 0) {
      // The track's status still says whether it was read with warnings.
      const bool inputWarned = encodingTrack_ <= rows && tracks_.StatusOf(encodingTrack_ - 1) == JobStatus::ReadWarned;
      SetTrackStatus(encodingTrack_, cancelRequested_ ? JobStatus::Cancelled
                                     : encoderError_   ? JobStatus::Failed
                                     : declined        ? JobStatus::Kept
                                     : inputWarned     ? JobStatus::FinishedWarned
                                                       : JobStatus::Finished);
    }
    if (cancelRequested_) {
      EndWaitingReads();
      EnterIdleState();
    } else {
      StartTrackEncode();
    }
    return;
  }

  if (failed) {
    if (settings_.wav2mp3DelMp3OnError != 0) DeleteJobOutput();
  } else if ((settings_.wav2mp3DelWavOnSuccess != 0 || deleteInputsThisRun_) && !declined) {
    DeleteJobFile(codecInputPath_, MakerLog::Encoder);
  }
  FinishFileJob(encoderError_, declined, &JobPipeline::StartFileEncode);
}

void JobPipeline::AppendId3Tag() {
  const CdInfo info = host_.CdInformation();
  const std::string name = encodingTrack_ <= host_.RowCount(JobList::Tracks) ? host_.TrackName(encodingTrack_ - 1) : "";
  const TrackTagFields fields = MakeTrackTagFields(info, encodingTrack_, name);
  // The ID3v1 record holds what ISO-8859-1 and 29 characters allow; the ID3v2.4 tag at the
  // start of the file keeps the names whole, in UTF-8, with the track number and genre.
  const Id3v2Update v2 =
      MakeTrackId3v2Update(info, encodingTrack_, host_.RowCount(JobList::Tracks), name);
  // Both tags go into the file in one rewrite: a new file beside it that replaces it only
  // once complete, so a full disk costs the tags and never the audio.
  TagFileUpdate update;
  update.id3v2 = v2;
  update.appendedId3v1 = EncodeId3v1Tag({fields.title, fields.artist, fields.album, fields.year}, kId3v1MakerTextLimit);
  if (WriteTagFile(codecOutputPath_, update)) {
    host_.AppendLog(MakerLog::Encoder, "    ID3 tag added.");
  } else {
    encoderError_ = true;
    host_.AppendLog(MakerLog::Encoder, "    Error: Cannot write ID3 tag.");
  }
}

// Encodes or decodes the file row currentFile_.
void JobPipeline::StartFileEncode() {
  SelectOnlyFileRow(currentFile_);
  encoderBusy_ = true;
  EnterBusyState();
  codecInputPath_ = host_.FilePath(currentFile_);
  codecOutputPath_ = ChangeFileExt(codecInputPath_, EncodedExtension());
  NoteFileJobPaths();
  LaunchEncoder(MakeEncoderJob(codecInputPath_));
}

void JobPipeline::StartFileDecode() {
  SelectOnlyFileRow(currentFile_);
  decoderBusy_ = true;
  EnterBusyState();
  codecInputPath_ = host_.FilePath(currentFile_);
  codecOutputPath_ = ChangeFileExt(codecInputPath_, ".wav");
  NoteFileJobPaths();
  DecoderJob job;
  job.inputPath = codecInputPath_;
  job.confirmOverwrite = settings_.confirmOverwrite != 0;
  job.keepPartialOutput = settings_.mp32wavDelWavOnError == 0;
  job.startTime = Now();
  LaunchDecoder(job);
}

void JobPipeline::LaunchDecoder(const DecoderJob& job) {
  decoderError_ = false;
  outputBefore_ = StatFile(codecOutputPath_);
  decoderStart_ = job.startTime;
  StartWorker(decoder_, factory_.MakeDecoder(job), &JobPipeline::DecoderEnded);
  MenuOptionsPrioritySelectionClick(std::nullopt);
}

void JobPipeline::DecoderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(decoder_, worker);
  if (!ended) return;
  decoderError_ = ended->Error();
  OnDecoderFinished();
}

// Completion of a decode.
void JobPipeline::OnDecoderFinished() {
  if (!decoderBusy_) return;
  decoderBusy_ = false;
  if (cancelRequested_)
    host_.AppendLog(MakerLog::Encoder, "    Cancelled.");
  else if (!decoderError_)
    LogDone(MakerLog::Encoder, decoderStart_);

  const bool declined = JobDeclined(cancelRequested_ || decoderError_);
  if (cancelRequested_ || decoderError_) {
    if (settings_.mp32wavDelWavOnError != 0) DeleteJobOutput();
  } else if (settings_.mp32wavDelMp3OnSuccess != 0 && !declined) {
    DeleteJobFile(codecInputPath_, MakerLog::Encoder);
  }
  FinishFileJob(decoderError_, declined, &JobPipeline::StartFileDecode);
}

void JobPipeline::FinishFileJob(bool failed, bool kept, void (JobPipeline::*startNext)()) {
  SetFileStatus(currentFile_, cancelRequested_ ? JobStatus::Cancelled
                              : failed         ? JobStatus::Failed
                              : kept           ? JobStatus::Kept
                                               : JobStatus::Finished);
  ++currentFile_;
  if (!cancelRequested_ && currentFile_ < host_.RowCount(JobList::Files)) {
    (this->*startNext)();
    return;
  }
  EnterIdleState();
  if (!cancelRequested_) SignalDone();
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

std::string JobPipeline::TrackOutputPath(int track, const std::string& extension) const {
  const std::string name =
      track >= 1 && track <= host_.RowCount(JobList::Tracks) ? host_.TrackName(track - 1) : std::string();
  return TrackFilePath(settings_.outputPath.str(), host_.CdInformation(), track, name, extension);
}

void JobPipeline::SelectOnlyFileRow(int row) {
  const int rows = host_.RowCount(JobList::Files);
  for (int i = 0; i < rows; ++i) host_.SetRowSelected(JobList::Files, i, false);
  if (row < rows) host_.SetRowSelected(JobList::Files, row, true);
}

void JobPipeline::NoteFileJobPaths() {
  if (Job* job = files_.At(currentFile_)) {
    job->inputPath = codecInputPath_;
    job->outputPath = codecOutputPath_;
  }
}

void JobPipeline::SetFileStatus(int row, JobStatus status) {
  if (row < 0 || row >= host_.RowCount(JobList::Files)) return;
  if (Job* job = files_.At(row)) job->status = status;
  host_.SetRowStatus(JobList::Files, row, status);
}

void JobPipeline::SetTrackStatus(int track, JobStatus status) {
  if (track < 1 || track > host_.RowCount(JobList::Tracks)) return;
  if (Job* job = tracks_.At(track - 1)) job->status = status;
  host_.SetRowStatus(JobList::Tracks, track - 1, status);
  host_.SetRowSelected(JobList::Tracks, track - 1, false);
}

void JobPipeline::DeleteJobFile(const std::string& path, MakerLog log) {
  struct stat info {};
  if (path.empty() || (::lstat(path.c_str(), &info) != 0 && errno == ENOENT)) return;
  // Only files (or a link, which loses nothing) are deleted: a device or FIFO in a job's
  // place is no file the job made.
  if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    host_.AppendLog(log, "    Warning: Cannot delete " + path + ": not a regular file");
    return;
  }
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return;
  host_.AppendLog(log, "    Warning: Cannot delete " + path + ": " + std::strerror(errno));
}

void JobPipeline::EndTemporaryInput(int track, const std::string& path, const char* why) {
  if (settings_.cd2mp3DelTempOnError != 0) {
    DeleteJobFile(path, MakerLog::Encoder);
    return;
  }
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  // The read is complete: kept under the track's WAV name (never over an existing file),
  // so that the run leaves no ".tmp" file behind.
  auto kept = RenameToFreeName(path, ChangeFileExt(path, ".wav"));
  char line[64];
  if (kept) {
    std::snprintf(line, sizeof line, "    Kept track %02i as ", track);
    host_.AppendLog(MakerLog::Encoder, line + kept.Value() + " (not encoded: " + why + ").");
  } else {
    host_.AppendLog(MakerLog::Encoder, "    Warning: Cannot rename " + path + ": " + std::strerror(kept.Error()));
  }
}

void JobPipeline::EndWaitingReads() {
  if (operation_ != Operation::CD2MP3) return;
  const int rows = host_.RowCount(JobList::Tracks);
  for (int track = 1; track <= rows; ++track) {
    if (!WaitsForEncoder(tracks_.StatusOf(track - 1))) continue;
    EndTemporaryInput(track, TrackOutputPath(track, ".tmp"), "cancelled");
    SetTrackStatus(track, JobStatus::Cancelled);
  }
}

void JobPipeline::DeleteJobOutput() {
  // A job whose output would be its own input (decoding "x.wav") is refused by the
  // codec thread; deleting its "output" on error would delete the input.
  if (codecOutputPath_ == codecInputPath_) return;
  const std::optional<FileState> in = StatFile(codecInputPath_);
  const std::optional<FileState> out = StatFile(codecOutputPath_);
  if (in && out && in->device == out->device && in->inode == out->inode) return;
  DeleteWrittenFile(codecOutputPath_, outputBefore_, MakerLog::Encoder);
}

void JobPipeline::DeleteWrittenFile(const std::string& path, const std::optional<FileState>& before, MakerLog log) {
  // A job that failed before it wrote anything (its input was missing, say) leaves an
  // existing file exactly as it was: that file is not its output, perhaps the MP3 an
  // earlier row of this run made from the same WAV.
  if (before && before == StatFile(path)) return;
  DeleteJobFile(path, log);
}

bool JobPipeline::JobDeclined(bool failed) {
  if (answers_ == nullptr || !answers_->TakeDeclined()) return false;
  // A failed or cancelled job is not counted again as one that kept its output.
  if (!failed) ++skippedJobs_;
  return true;
}

void JobPipeline::LogTrackHeading() {
  char line[32];
  std::snprintf(line, sizeof line, "Not reading: Track %02i", currentTrack_);
  host_.AppendLog(MakerLog::Reader, "");
  host_.AppendLog(MakerLog::Reader, line);
}

void JobPipeline::LogDone(MakerLog log, std::time_t start) {
  char line[64];
  std::snprintf(line, sizeof line, "    Done (%li seconds).", static_cast<long>(Now() - start));
  host_.AppendLog(log, line);
}
