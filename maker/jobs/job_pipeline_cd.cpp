// JobPipeline: the CD run (CD to MP3 and CD to WAV). Tracks are read one after another;
// in CD to MP3 each read track waits ("Read") until the encoder takes it, so reading the
// next track overlaps encoding the previous one.
#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "common/tags/tag_file.h"
#include "maker/cd/cd_drive_menu.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/metadata/track_tag.h"

namespace {

// "Track 03": what the reader log's lines of a track are about.
std::string TrackSubject(int track) {
  char text[32];
  std::snprintf(text, sizeof text, "Track %02i", track);
  return text;
}

}  // namespace

// Reads the track row currentTrack_.
void JobPipeline::StartTrackRead() {
  readerOutputPath_ = TrackOutputPath(currentTrack_, operation_ == Operation::CD2MP3 ? ".tmp" : ".wav");
  readEnd_ = WorkEnd::Finished;
  readerBusy_ = true;

  // Two tracks of one run with the same name would share one file: the second read would
  // overwrite the first track's WAV, or its ".tmp" while the encoder reads it. The second
  // track fails instead, without touching that file (no delete-on-error either).
  for (const auto& [path, track] : readPaths_) {
    if (path != readerOutputPath_) continue;
    LogTrackHeading();
    char line[96];
    std::snprintf(line, sizeof line, "    Error: Track %02i has the same file name as track %02i: ", currentTrack_, track);
    host_.AppendLog(MakerLog::Reader, LogEvent::Error(line + path, TrackSubject(currentTrack_)));
    readerOutputPath_.clear();
    readEnd_ = WorkEnd::Failed;
    OnReaderFinished();
    return;
  }
  if (!MayReplaceEncodedOutput()) {
    readerOutputPath_.clear();
    readEnd_ = WorkEnd::NotRun;
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

void JobPipeline::LaunchReader(const ReaderJob& job) {
  readerBefore_ = FileState::Of(job.outputPath);
  StartWorker(reader_, factory_.MakeReader(job), &JobPipeline::ReaderEnded);
}

void JobPipeline::ReaderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(reader_, worker);
  if (!ended) return;
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
    readEnd_ = WorkEnd::Finished;
    OnReaderFinished();
    return;
  }
  readEnd_ = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  OnReaderFinished();
}

// Completion of a track read.
void JobPipeline::OnReaderFinished() {
  if (!readerBusy_) return;
  const bool failed = readEnd_ == WorkEnd::Failed;
  if (readEnd_ == WorkEnd::NotRun) {
    // The track's encoded output exists and may not be replaced: it was not read.
    ++skippedJobs_;
    SetTrackStatus(currentTrack_, JobStatus::Kept);
  } else {
    if (cancelRequested_)
      host_.AppendLog(MakerLog::Reader, LogEvent::Done("    Cancelled."));
    else if (!failed)
      LogDone(MakerLog::Reader, readerStart_);

    if ((cancelRequested_ || failed) &&
        ((settings_.cd2mp3DelTempOnError != 0 && operation_ == Operation::CD2MP3) ||
         (settings_.cd2wavDelWavOnError != 0 && operation_ == Operation::CD2WAV)))
      jobFiles_.DeleteWritten(readerOutputPath_, readerBefore_, MakerLog::Reader);

    // A CD to WAV read that kept an existing WAV wrote nothing. (In CD to MP3 the kept
    // ".tmp" is what the encoder then encodes, so the track's outcome is the encode's.)
    const bool kept = readEnd_ == WorkEnd::Kept && operation_ == Operation::CD2WAV && !cancelRequested_;
    if (kept) ++skippedJobs_;
    if (host_.RowCount(JobList::Tracks) > 0) {
      const JobStatus status = cancelRequested_ ? JobStatus::Cancelled
                               : failed         ? JobStatus::Failed
                               : kept           ? JobStatus::Kept
                               : operation_ == Operation::CD2MP3
                                   ? (readEnd_ == WorkEnd::Warned ? JobStatus::ReadWarned : JobStatus::Read)
                                   : (readEnd_ == WorkEnd::Warned ? JobStatus::FinishedWarned : JobStatus::Finished);
      SetTrackStatus(currentTrack_, status);
    }

    if (!cancelRequested_ && !failed) StartTrackEncode();
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
    host_.AppendLog(MakerLog::Reader, LogEvent::Info("    Kept the existing file " + encoded + " (track not read).",
                                                     TrackSubject(currentTrack_)));
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
  // The file the track's read wrote, as named when the read began.
  Job& encode = *tracks_.At(found - 1);
  codecJob_.input = encode.inputPath;
  codecJob_.output = ChangeFileExt(codecJob_.input, EncodedExtension());
  encode.outputPath = codecJob_.output;
  encodingTrack_ = found;
  LaunchEncoder(MakeEncoderJob(codecJob_.input));
}

// The end of a track's encode: its ".tmp" input, its output and its row.
void JobPipeline::EndTrackEncode(bool declined) {
  if (CodecFailed()) {
    jobFiles_.EndTemporaryInput(encodingTrack_, codecJob_.input, cancelRequested_ ? "cancelled" : "the encode failed",
                                 settings_.cd2mp3DelTempOnError != 0);
    if (settings_.cd2mp3DelMp3OnError != 0) jobFiles_.DeleteOutput(codecJob_);
  } else if (settings_.cd2mp3DelTempOnSuccess != 0 && !declined) {
    jobFiles_.Delete(codecJob_.input, MakerLog::Encoder);
  }
  if (const int rows = host_.RowCount(JobList::Tracks); rows > 0) {
    // The track's status still says whether it was read with warnings.
    const bool inputWarned = encodingTrack_ <= rows && tracks_.StatusOf(encodingTrack_ - 1) == JobStatus::ReadWarned;
    SetTrackStatus(encodingTrack_, cancelRequested_ ? JobStatus::Cancelled
                                   : codecEnd_ == WorkEnd::Failed ? JobStatus::Failed
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
  if (WriteTagFile(codecJob_.output, update)) {
    host_.AppendLog(MakerLog::Encoder, LogEvent::Info("    ID3 tag added."));
  } else {
    codecEnd_ = WorkEnd::Failed;
    host_.AppendLog(MakerLog::Encoder, LogEvent::Error("    Error: Cannot write ID3 tag."));
  }
}

std::string JobPipeline::TrackOutputPath(int track, const std::string& extension) const {
  const std::string name =
      track >= 1 && track <= host_.RowCount(JobList::Tracks) ? host_.TrackName(track - 1) : std::string();
  return TrackFilePath(settings_.outputPath.str(), host_.CdInformation(), track, name, extension);
}

void JobPipeline::SetTrackStatus(int track, JobStatus status) {
  if (track < 1 || track > host_.RowCount(JobList::Tracks)) return;
  if (Job* job = tracks_.At(track - 1)) job->status = status;
  host_.SetRowStatus(JobList::Tracks, track - 1, status);
  host_.SetRowSelected(JobList::Tracks, track - 1, false);
}

void JobPipeline::EndWaitingReads() {
  if (operation_ != Operation::CD2MP3) return;
  const int rows = host_.RowCount(JobList::Tracks);
  for (int track = 1; track <= rows; ++track) {
    if (!WaitsForEncoder(tracks_.StatusOf(track - 1))) continue;
    jobFiles_.EndTemporaryInput(track, tracks_.At(track - 1)->inputPath, "cancelled",
                                settings_.cd2mp3DelTempOnError != 0);
    SetTrackStatus(track, JobStatus::Cancelled);
  }
}

void JobPipeline::LogTrackHeading() {
  const std::string track = TrackSubject(currentTrack_);
  host_.AppendLog(MakerLog::Reader, LogEvent::Begin());
  host_.AppendLog(MakerLog::Reader, LogEvent::Info("Not reading: " + track, track));
}
