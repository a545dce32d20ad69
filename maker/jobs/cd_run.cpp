// CdRun: the CD run's track reads, its encodes of the read tracks (CD to MP3), their ID3
// tags, delete rules and row words.
#include "maker/jobs/cd_run.h"

#include <algorithm>
#include <cstdio>

#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "common/tags/tag_file.h"
#include "maker/codec/encode_result.h"
#include "maker/cd/cd_drive_menu.h"
#include "maker/jobs/accuraterip_lookup_worker.h"
#include "maker/jobs/cover_art_lookup_worker.h"
#include "maker/jobs/rip_accuracy.h"
#include "maker/metadata/cover_art_file.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/metadata/track_tag.h"

namespace {

// "Track 03": what the reader log's lines of a track are about.
std::string TrackSubject(int track) {
  char text[32];
  std::snprintf(text, sizeof text, "Track %02i", track);
  return text;
}

// The value of an encoder status text: "45.20%" of " MP3 Encoder: 45.20%, /music/x.tmp".
std::string StatusValue(const std::string& text) {
  const size_t colon = text.find(": ");
  if (colon == std::string::npos) return {};
  const size_t comma = text.find(", ", colon + 2);
  return text.substr(colon + 2, comma == std::string::npos ? std::string::npos : comma - colon - 2);
}

}  // namespace

// What an encoder lane's worker talks to: the run, which passes it on to the host.
class CdRun::LaneHost final : public WorkerHost {
 public:
  LaneHost(CdRun& run, int lane) : run_(run), lane_(lane) {}
  void AppendLog(MakerLog log, const LogEvent& event) override { run_.AppendLaneLog(lane_, log, event); }
  void SetStatusText(MakerPanel panel, const std::string& text) override { run_.SetLaneStatus(lane_, panel, text); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    return run_.ctx_.host.AskYesNo(text, caption);
  }

 private:
  CdRun& run_;
  const int lane_;
};

CdRun::EncoderLane::EncoderLane(CdRun& run, int index) : host(std::make_unique<LaneHost>(run, index)) {}
CdRun::EncoderLane::~EncoderLane() = default;

CdRun::~CdRun() { ReleaseWorkers(); }

bool CdRun::AnyLaneBusy() const {
  for (const auto& lane : lanes_)
    if (lane->worker) return true;
  return false;
}

void CdRun::AppendLaneLog(int lane, MakerLog log, const LogEvent& event) {
  if (!LabelsLanes()) {
    ctx_.host.AppendLog(log, event);
    return;
  }
  // The lines of encodes that run together interleave: an empty line would separate
  // nothing, and each line says which track it belongs to.
  if (event.severity == LogSeverity::Begin) return;
  const std::string track = TrackSubject(lanes_[static_cast<size_t>(lane)]->track);
  LogEvent labelled = event;
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "[" + std::string.
  labelled.text = "[";
  labelled.text += track;
  labelled.text += "] ";
  labelled.text += event.text;
  if (labelled.subject.empty()) labelled.subject = track;
  ctx_.host.AppendLog(log, labelled);
}

void CdRun::SetLaneStatus(int lane, MakerPanel panel, const std::string& text) {
  if (!LabelsLanes() || panel != MakerPanel::Encoder) {
    ctx_.host.SetStatusText(panel, text);
    return;
  }
  lanes_[static_cast<size_t>(lane)]->status = text;
  ShowEncoderStatus();
}

void CdRun::ShowEncoderStatus() {
  std::vector<const EncoderLane*> busy;
  for (const auto& lane : lanes_)
    if (lane->worker && lane->track > 0) busy.push_back(lane.get());
  if (busy.empty()) return;
  if (busy.size() == 1) {
    if (!busy.front()->status.empty()) ctx_.host.SetStatusText(MakerPanel::Encoder, busy.front()->status);
    return;
  }
  std::sort(busy.begin(), busy.end(), [](const EncoderLane* a, const EncoderLane* b) { return a->track < b->track; });
  // " MP3 Encoder: 2 tracks (03: 45.20%; 04: 12.00%)": no ", " inside, so the whole list
  // is the panel's value; the first percentage is the lowest track's.
  std::string text = " ";
  text += EncoderFormatName(ctx_.settings.EncoderMode());
  text += " Encoder: ";
  text += std::to_string(busy.size());
  text += " tracks (";
  for (size_t i = 0; i < busy.size(); ++i) {
    if (i > 0) text += "; ";
    char number[16];
    std::snprintf(number, sizeof number, "%02i", busy[i]->track);
    text += number;
    if (const std::string value = StatusValue(busy[i]->status); !value.empty()) {
      text += ": ";
      text += value;
    }
  }
  text += ')';
  ctx_.host.SetStatusText(MakerPanel::Encoder, text);
}

bool CdRun::Start() {
  const int rows = ctx_.host.RowCount(JobList::Tracks);
  tracks_.Reset(rows);
  int first = 0;
  for (int row = 0; row < rows; ++row) {
    const bool selected = ctx_.host.RowSelected(JobList::Tracks, row);
    ctx_.host.SetRowStatus(JobList::Tracks, row, JobStatus::Pending);
    ctx_.host.SetRowSelected(JobList::Tracks, row, selected);
    if (selected && first == 0) first = row + 1;
  }
  if (first == 0) return false;
  for (int row = 0; row < rows; ++row) ctx_.host.SetRowVerification(row, "");
  currentTrack_ = first;
  // One lane per track at most: a run of one track encodes and logs as with one encoder.
  int selected = 0;
  for (int row = 0; row < rows; ++row) selected += ctx_.host.RowSelected(JobList::Tracks, row) ? 1 : 0;
  const int lanes = ctx_.operation == Operation::CD2MP3 ? std::min(ctx_.EncoderLanes(), selected) : 1;
  lanes_.clear();
  for (int lane = 0; lane < lanes; ++lane) lanes_.push_back(std::make_unique<EncoderLane>(*this, lane));
  readPaths_.clear();
  ripped_.clear();
  measured_.clear();
  ctx_.cancelRequested = false;
  ctx_.EnterBusyState();
  cover_.reset();
  if (!StartLookup() && !StartCoverArtLookup()) StartTrackRead();
  return true;
}

bool CdRun::StartLookup() {
  discIds_.reset();
  record_.reset();
  lookupStatus_.clear();
  const TrackTable* table = ctx_.host.DiscTable();
  if (table == nullptr || table->trackCount == 0) return false;
  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(*table);
  if (ids.audioTracks == 0) return false;
  discIds_ = ids;
  if (ctx_.settings.accurateRip == 0) {
    lookupStatus_ = "not looked up (AccurateRip is off)";
    return false;
  }
  const AccurateRipRequest request =
      MakeAccurateRipRequest(ctx_.settings, ctx_.host.CdInformation(), ids, ctx_.accurateRipServer);
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Begin());
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("AccurateRip: looking up " + AccurateRipRecordUrl(request)));
  RunContext::StartWorker(lookup_, ctx_.factory.MakeAccurateRipLookup(request),
                          [this](JobWorker* worker) { LookupEnded(worker); });
  return true;
}

void CdRun::LookupEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(lookup_, worker);
  if (!ended) return;
  if (ctx_.cancelRequested) {
    EndCancelledLookup();
    return;
  }
  AccurateRipLookupResult result;
  result.problem = "the lookup gave no result";
  if (const auto* source = dynamic_cast<const AccurateRipLookupSource*>(ended.get())) result = source->LookupResult();
  // Whatever the lookup found, the tracks are read: a disc the database does not know,
  // or a server that cannot be reached, leaves them unverified, never failed.
  switch (result.kind) {
    case AccurateRipLookupResult::Kind::Found: {
      const size_t pressings = result.record.pressings.size();
      lookupStatus_ = "the disc is in the database (" + std::to_string(pressings) +
                      (pressings == 1 ? " pressing)" : " pressings)");
      ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("    AccurateRip: " + lookupStatus_));
      record_ = std::make_shared<const AccurateRipRecord>(std::move(result.record));
      break;
    }
    case AccurateRipLookupResult::Kind::NotInDatabase:
      lookupStatus_ = "the disc is not in the database";
      ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Warning("    Warning: AccurateRip: " + lookupStatus_));
      // An empty record: each track is then "not in the database" rather than unverified.
      record_ = std::make_shared<const AccurateRipRecord>();
      break;
    case AccurateRipLookupResult::Kind::Failed:
    case AccurateRipLookupResult::Kind::Cancelled:
      lookupStatus_ = result.problem.empty() ? std::string("the lookup failed") : result.problem;
      ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Warning("    Warning: AccurateRip: " + lookupStatus_));
      break;
  }
  if (!StartCoverArtLookup()) StartTrackRead();
}

void CdRun::EndCancelledLookup() {
  // Nothing was read: the run ends here. The track it was about to read ends cancelled,
  // as one whose read Cancel stopped does; the tracks after it stay as Start left them.
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Done("    Cancelled."));
  SetTrackStatus(currentTrack_, JobStatus::Cancelled);
  EnterIdleState();
}

bool CdRun::StartCoverArtLookup() {
  const CdInfo info = ctx_.host.CdInformation();
  if (ctx_.settings.coverArt == 0 || info.musicBrainzReleaseId.empty()) return false;
  const CoverArtRequest request = MakeCoverArtRequest(ctx_.settings, info);
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Begin());
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("Cover art: looking up " + CoverArtUrl(request)));
  RunContext::StartWorker(lookup_, ctx_.factory.MakeCoverArtLookup(request),
                          [this](JobWorker* worker) { CoverArtLookupEnded(worker); });
  return true;
}

void CdRun::CoverArtLookupEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(lookup_, worker);
  if (!ended) return;
  if (ctx_.cancelRequested) {
    EndCancelledLookup();
    return;
  }
  std::string problem = "the lookup gave no result";
  if (const auto* source = dynamic_cast<const CoverArtLookupSource*>(ended.get())) {
    Expected<CoverImage> result = source->CoverArtResult();
    if (result) cover_ = std::move(result).Value();
    else problem = result.Error().text;
  }
  // A release without a cover, or a server that cannot give it, costs the cover only:
  // the tracks are read and encoded as without one.
  if (cover_) {
    SaveCoverArt();
  } else {
    if (!problem.empty() && problem.back() == '.') problem.pop_back();
    ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("    No cover art: " + problem + "."));
  }
  StartTrackRead();
}

void CdRun::SaveCoverArt() {
  // The album's folder: that of the first track's file (the reads make it when missing).
  const std::string folder = ExtractFileDir(TrackOutputPath(currentTrack_, ".wav"));
  const Expected<SavedCoverArt> saved = [&]() -> Expected<SavedCoverArt> {
    if (!folder.empty()) {
      if (auto made = CreateDirectories(folder); !made) return Fail(made.Error());
    }
    return SaveCoverArtFile(folder, *cover_);
  }();
  if (!saved) {
    ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("    Cover art not saved: " + saved.Error().text + "."));
    return;
  }
  const std::string& path = saved.Value().path;
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info(saved.Value().kept ? "    Cover art: " + path + " exists, kept."
                                                                           : "    Cover art saved to " + path + "."));
}

void CdRun::Cancel() {
  if (lookup_) lookup_->Cancel();
  if (reads_ == Reads::Going) {
    // A read held back for the reader of an earlier run is cancelled through that reader.
    if (reader_)
      reader_->Cancel();
    else if (stoppingReader_)
      stoppingReader_->Cancel();
  }
  for (auto& lane : lanes_)
    if (lane->worker) lane->worker->Cancel();
  if (replayGain_) replayGain_->Cancel();
}

void CdRun::ApplyPriority() {
  for (auto& lane : lanes_)
    if (lane->worker) lane->worker->SetPriority(ctx_.priority);
}

void CdRun::StopWorkers() {
  for (const auto* slot : {&lookup_, &reader_, &stoppingReader_, &replayGain_}) RunContext::DropAndCancel(*slot);
  for (auto& lane : lanes_) RunContext::DropAndCancel(lane->worker);
}

void CdRun::ReleaseWorkers() {
  lookup_.reset();
  reader_.reset();
  stoppingReader_.reset();
  for (auto& lane : lanes_) lane->worker.reset();
  replayGain_.reset();
}

// Reads the track row currentTrack_.
void CdRun::StartTrackRead() {
  readerOutputPath_ = TrackOutputPath(currentTrack_, ctx_.operation == Operation::CD2MP3 ? ".tmp" : ".wav");
  readEnd_ = WorkEnd::Finished;
  reads_ = Reads::Going;

  // Two tracks of one run with the same name would share one file: the second read would
  // overwrite the first track's WAV, or its ".tmp" while the encoder reads it. The second
  // track fails instead, without touching that file (no delete-on-error either).
  for (const auto& [path, track] : readPaths_) {
    if (path != readerOutputPath_) continue;
    LogTrackHeading();
    char line[96];
    std::snprintf(line, sizeof line, "    Error: Track %02i has the same file name as track %02i: ", currentTrack_,
                  track);
    ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Error(line + path, TrackSubject(currentTrack_)));
    readerOutputPath_.clear();
    readEnd_ = WorkEnd::Failed;
    OnReaderFinished();
    return;
  }
  if (KeepsTrackOutput()) {
    readerOutputPath_.clear();
    readEnd_ = WorkEnd::NotRun;
    OnReaderFinished();
    return;
  }
  readPaths_.emplace_back(readerOutputPath_, currentTrack_);
  if (Job* read = tracks_.At(currentTrack_ - 1)) read->inputPath = readerOutputPath_;

  const SettingsTable& settings = ctx_.settings;
  const int mode = settings.EncoderMode();
  ReaderJob job;
  job.drive = ctx_.host.SelectedDrive();
  job.outputPath = readerOutputPath_;
  job.sectorsPerRead = CdSectorsPerRead(settings.readSector);
  job.jitterCorrection = settings.jitterCorrection != 0;
  job.overlapPercent = CdOverlapPercent(settings.overlapPercent);
  job.maxSyncNoMatchRetry = settings.maxSyncNoMatchRetry;
  job.maxSyncMisalignRetry = settings.maxSyncMisalignRetry;
  job.rate22050 = mode == kModeMpeg2 && ctx_.operation == Operation::CD2MP3;
  job.mono = mode != kModeAac && settings.channels == 0;
  job.track = currentTrack_;
  job.normalize = settings.normalize != 0;
  job.normalizePercent = settings.normalizePercent;
  job.normalizeMin = settings.normalizeMin;
  job.normalizeMax = settings.normalizeMax;
  // Existing outputs were asked about before the run began.
  job.confirmOverwrite = false;
  job.keepPartialOutput =
      (ctx_.operation == Operation::CD2MP3 ? settings.cd2mp3DelTempOnError : settings.cd2wavDelWavOnError) == 0;
  job.osInterface = settings.useWinNtRawRead != 0;
  job.readMode = settings.aspiReadMode;
  job.accuracy = MakeReadAccuracyJob(settings, ReadOffset(), record_, discIds_.value_or(AccurateRipDiscIds{}),
                                     ctx_.host.DiscTable(), currentTrack_);
  readerStart_ = ctx_.Now();
  job.startTime = readerStart_;

  if (stoppingReader_) {
    // The previous run's reader is still stopping; this read starts when it has ended.
    deferredRead_ = job;
    return;
  }
  LaunchReader(job);
}

void CdRun::LaunchReader(const ReaderJob& job) {
  readerBefore_ = FileState::Of(job.outputPath);
  RunContext::StartWorker(reader_, ctx_.factory.MakeReader(job), [this](JobWorker* worker) { ReaderEnded(worker); });
}

void CdRun::ReaderEnded(JobWorker* worker) {
  if (stoppingReader_ && worker == stoppingReader_.get()) {
    RunContext::TakeEndedWorker(stoppingReader_, worker);
    if (!deferredRead_) return;
    ReaderJob job = *deferredRead_;
    deferredRead_.reset();
    if (!ctx_.cancelRequested) {
      // The elapsed time of the read counts from now, not from the Start that waited.
      readerStart_ = job.startTime = ctx_.Now();
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
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(reader_, worker);
  if (!ended) return;
  readEnd_ = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  readAccuracy_.reset();
  if (const auto* source = dynamic_cast<const TrackAccuracySource*>(ended.get())) readAccuracy_ = source->Accuracy();
  OnReaderFinished();
  readAccuracy_.reset();
}

// Completion of a track read.
void CdRun::OnReaderFinished() {
  if (reads_ != Reads::Going) return;
  const bool failed = readEnd_ == WorkEnd::Failed;
  if (readEnd_ == WorkEnd::NotRun) {
    // The track's encoded output exists and may not be replaced: it was not read.
    ++ctx_.skippedJobs;
    SetTrackStatus(currentTrack_, JobStatus::Kept);
  } else {
    if ((ctx_.cancelRequested || failed) &&
        ((ctx_.settings.cd2mp3DelTempOnError != 0 && ctx_.operation == Operation::CD2MP3) ||
         (ctx_.settings.cd2wavDelWavOnError != 0 && ctx_.operation == Operation::CD2WAV)))
      ctx_.files.DeleteWritten(readerOutputPath_, readerBefore_, MakerLog::Reader);
    // The track's result line comes before its one end line.
    if (!ctx_.cancelRequested && readAccuracy_) ShowReadAccuracy();
    ctx_.LogJobEnd(MakerLog::Reader, readEnd_, readerStart_, readerOutputPath_);

    // A CD to WAV read that kept an existing WAV wrote nothing. (In CD to MP3 the kept
    // ".tmp" is what the encoder then encodes, so the track's outcome is the encode's.)
    const bool kept = readEnd_ == WorkEnd::Kept && ctx_.operation == Operation::CD2WAV && !ctx_.cancelRequested;
    if (kept) ++ctx_.skippedJobs;
    if (ctx_.host.RowCount(JobList::Tracks) > 0) {
      const JobStatus status = ctx_.cancelRequested ? JobStatus::Cancelled
                               : failed             ? JobStatus::Failed
                               : kept               ? JobStatus::Kept
                               : ctx_.operation == Operation::CD2MP3
                                   ? (readEnd_ == WorkEnd::Warned ? JobStatus::ReadWarned : JobStatus::Read)
                                   : (readEnd_ == WorkEnd::Warned ? JobStatus::FinishedWarned : JobStatus::Finished);
      SetTrackStatus(currentTrack_, status);
    }

    if (!ctx_.cancelRequested && !failed) StartTrackEncode();
  }

  const int rows = ctx_.host.RowCount(JobList::Tracks);
  int next = currentTrack_ + 1;
  while (next <= rows && !ctx_.host.RowSelected(JobList::Tracks, next - 1)) ++next;
  if (!ctx_.cancelRequested && next <= rows) {
    currentTrack_ = next;
    StartTrackRead();
    return;
  }
  reads_ = Reads::Over;
  ctx_.host.SetStatusText(MakerPanel::Reader, " CD Reader: Idle");
  if (AnyLaneBusy()) return;
  if (ctx_.cancelRequested) EndWaitingReads();
  FinishRun();
}

void CdRun::ShowReadAccuracy() {
  const TrackAccuracy& accuracy = *readAccuracy_;
  const std::string track = TrackSubject(currentTrack_);
  if (const std::string result = TrackResultText(currentTrack_, accuracy); !result.empty())
    ctx_.host.AppendLog(MakerLog::Reader, TrackResultWarns(accuracy) ? LogEvent::Warning("    " + result, track)
                                                                     : LogEvent::Info("    " + result, track));
  if (currentTrack_ <= ctx_.host.RowCount(JobList::Tracks))
    ctx_.host.SetRowVerification(currentTrack_ - 1, RowVerificationText(accuracy));
  RippedTrack& ripped = ripped_[currentTrack_];
  ripped.track = currentTrack_;
  ripped.path = readerOutputPath_;
  ripped.name = currentTrack_ <= ctx_.host.RowCount(JobList::Tracks) ? ctx_.host.TrackName(currentTrack_ - 1) : "";
  ripped.accuracy = accuracy;
  ripped.failed = readEnd_ == WorkEnd::Failed;
  ripped.errors = accuracy.problems;
  if (ripped.failed && ripped.errors.empty()) ripped.errors.push_back("the read failed");
  // In CD to MP3 the encode decides whether the track's file is made.
  ripped.written = (readEnd_ == WorkEnd::Finished || readEnd_ == WorkEnd::Warned) && ctx_.operation == Operation::CD2WAV;
}

void CdRun::FinishRun() {
  if (StartReplayGain()) return;
  if (!ctx_.cancelRequested && !ripped_.empty()) {
    RipFilesInput input;
    input.operation = ctx_.operation;
    input.settings = &ctx_.settings;
    input.info = ctx_.host.CdInformation();
    if (const TrackTable* table = ctx_.host.DiscTable()) input.toc = *table;
    input.drive = ctx_.host.SelectedDriveIdentity();
    input.readOffset = ReadOffset();
    input.discIds = discIds_;
    input.accurateRipStatus = lookupStatus_;
    input.logPath = ctx_.ripLogPath;
    for (const auto& [track, ripped] : ripped_) input.tracks.push_back(ripped);
    for (const LogEvent& event : WriteRipFiles(input)) ctx_.host.AppendLog(MakerLog::Reader, event);
  }
  EnterIdleState();
  if (!ctx_.cancelRequested) ctx_.SignalDone(tracks_);
}

bool CdRun::MeasuresLoudness(int mode) const {
  if (ctx_.settings.replayGain == 0 || ctx_.operation != Operation::CD2MP3) return false;
  if (mode == kModeMpeg1 || mode == kModeMpeg2) return ctx_.host.CdInformation().applyId3;
  return EncoderWritesContainerTags(mode);
}

bool CdRun::StartReplayGain() {
  // A cancelled run writes no album values: its album is not complete.
  if (ctx_.cancelRequested || measured_.empty()) return false;
  ReplayGainJob job;
  job.albums.emplace_back();
  for (auto& [track, file] : measured_) job.albums.front().push_back(std::move(file));
  measured_.clear();
  const size_t files = job.albums.front().size();
  ctx_.host.AppendLog(MakerLog::Encoder, LogEvent::Begin());
  ctx_.host.AppendLog(MakerLog::Encoder, LogEvent::Info("ReplayGain: " + std::to_string(files) +
                                                        (files == 1 ? " track" : " tracks") + " of one album"));
  RunContext::StartWorker(replayGain_, ctx_.factory.MakeReplayGainWriter(job),
                          [this](JobWorker* worker) { ReplayGainEnded(worker); });
  return true;
}

void CdRun::ReplayGainEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(replayGain_, worker);
  if (!ended) return;
  if (ctx_.cancelRequested) ctx_.host.AppendLog(MakerLog::Encoder, LogEvent::Done("    Cancelled."));
  // The rip log tells the values each track's file got.
  if (const auto* source = dynamic_cast<const ReplayGainWriterSource*>(ended.get()))
    for (const ReplayGainWritten& written : source->Written())
      for (auto& [track, ripped] : ripped_)
        if (ripped.written && ripped.path == written.path) ripped.replayGain = written.values;
  FinishRun();
}

int CdRun::ReadOffset() const {
  if (ctx_.readOffset) return *ctx_.readOffset;
  return ctx_.settings.ReadOffsetFor(ctx_.host.SelectedDriveIdentity().Key());
}

bool CdRun::KeepsTrackOutput() {
  if (!HasRow(ctx_.keptOutputs, currentTrack_)) return false;
  const std::string kept = ctx_.operation == Operation::CD2MP3
                               ? ChangeFileExt(readerOutputPath_, ctx_.EncodedExtension())
                               : readerOutputPath_;
  const std::string track = TrackSubject(currentTrack_);
  ctx_.LogKeptJob(MakerLog::Reader, "Not reading: " + track, track, kept, "track not read");
  return true;
}

std::vector<PlannedOutput> CdRun::PlannedOutputs() const {
  std::vector<PlannedOutput> planned;
  if (ctx_.operation == Operation::CD2MP3 && ctx_.settings.EncoderMode() == kModeExternal) return planned;
  const int rows = ctx_.host.RowCount(JobList::Tracks);
  for (int track = 1; track <= rows; ++track) {
    if (!ctx_.host.RowSelected(JobList::Tracks, track - 1)) continue;
    const std::string path = ctx_.operation == Operation::CD2MP3
                                 ? ChangeFileExt(TrackOutputPath(track, ".tmp"), ctx_.EncodedExtension())
                                 : TrackOutputPath(track, ".wav");
    planned.push_back({track, path});
  }
  return planned;
}

int CdRun::NextTrackToEncode() const {
  std::vector<int> taken;  // the rows the lanes encode
  for (const auto& lane : lanes_)
    if (lane->worker) taken.push_back(lane->track - 1);
  return tracks_.FirstWaitingForEncoder(ctx_.host.RowCount(JobList::Tracks), taken) + 1;
}

// Gives the free lanes the first track rows waiting for the encoder (CD to MP3).
void CdRun::StartTrackEncode() {
  for (auto& lane : lanes_) {
    if (lane->worker) continue;
    // The panel goes idle between two encodes while no other lane shows its own.
    if (!AnyLaneBusy()) ctx_.host.SetStatusText(MakerPanel::Encoder, ctx_.EncoderIdleText());
    const int found = NextTrackToEncode();
    if (found == 0) break;
    StartLaneEncode(*lane, found);
  }
  if (lanes_.empty()) ctx_.host.SetStatusText(MakerPanel::Encoder, ctx_.EncoderIdleText());
  if (AnyLaneBusy() || reads_ == Reads::Going) return;
  FinishRun();
}

void CdRun::StartLaneEncode(EncoderLane& lane, int found) {
  ctx_.EnterBusyState();
  // The file the track's read wrote, as named when the read began.
  Job& encode = *tracks_.At(found - 1);
  lane.files = CodecJobFiles{};
  lane.files.input = encode.inputPath;
  lane.files.output = ChangeFileExt(lane.files.input, ctx_.EncodedExtension());
  encode.outputPath = lane.files.output;
  lane.track = found;
  lane.status.clear();
  lane.loudness.reset();
  EncoderJob job = ctx_.MakeEncoderJob(lane.files.input);
  if (EncoderWritesContainerTags(job.mpegMode)) {
    const int rows = ctx_.host.RowCount(JobList::Tracks);
    const std::string name = found <= rows ? ctx_.host.TrackName(found - 1) : "";
    job.tags = MakeTrackAudioTags(ctx_.host.CdInformation(), found, rows, name);
    job.tags->cover = cover_;
  }
  job.measureLoudness = MeasuresLoudness(job.mpegMode);
  lane.end = WorkEnd::Finished;
  lane.files.outputBefore = FileState::Of(lane.files.output);
  lane.start = job.startTime;
  RunContext::StartWorker(lane.worker, ctx_.factory.MakeEncoder(job, *lane.host),
                          [this, &lane](JobWorker* worker) { EncoderEnded(lane, worker); });
  lane.worker->SetPriority(ctx_.priority);
}

void CdRun::EncoderEnded(EncoderLane& lane, JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(lane.worker, worker);
  if (!ended) return;
  lane.end = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  lane.loudness.reset();
  if (const auto* source = dynamic_cast<const EncodeResultSource*>(ended.get())) lane.loudness = source->Loudness();
  OnEncoderFinished(lane);
}

// Completion of a track's encode.
void CdRun::OnEncoderFinished(EncoderLane& lane) {
  // An encode that kept the existing output wrote nothing: that file gets no second tag.
  const bool declined = ctx_.JobDeclined(lane.end);
  const int mode = ctx_.settings.EncoderMode();
  if (!ctx_.CodecFailed(lane.end) && !declined && ctx_.operation == Operation::CD2MP3 &&
      (mode == kModeMpeg1 || mode == kModeMpeg2) && ctx_.host.CdInformation().applyId3)
    AppendId3Tag(lane);
  EndTrackEncode(lane, declined);
}

// The end of a track's encode: its ".tmp" input, its output and its row.
void CdRun::EndTrackEncode(EncoderLane& lane, bool declined) {
  // The lines about the track's files are the lane's, labelled as its encoder's are.
  JobFiles files(*lane.host);
  const int track = lane.track;
  if (ctx_.CodecFailed(lane.end)) {
    files.EndTemporaryInput(track, lane.files.input, ctx_.cancelRequested ? "cancelled" : "the encode failed",
                            ctx_.settings.cd2mp3DelTempOnError != 0);
    if (ctx_.settings.cd2mp3DelMp3OnError != 0) files.DeleteOutput(lane.files);
  } else if (ctx_.settings.cd2mp3DelTempOnSuccess != 0 && !declined) {
    files.Delete(lane.files.input, MakerLog::Encoder);
  }
  ctx_.LogJobEnd(*lane.host, MakerLog::Encoder, lane.end, lane.start, lane.files.output);
  // Only a file the run finished gets ReplayGain values (a failed, cancelled or kept one
  // is left out of the album).
  if (!ctx_.CodecFailed(lane.end) && !declined && lane.loudness)
    measured_[track] = ReplayGainFile{lane.files.output, *lane.loudness};
  if (auto ripped = ripped_.find(track); ripped != ripped_.end()) {
    ripped->second.path = lane.files.output;
    ripped->second.written = !ctx_.CodecFailed(lane.end) && !declined;
    if (lane.end == WorkEnd::Failed) ripped->second.errors.push_back("the encode failed");
  }
  if (const int rows = ctx_.host.RowCount(JobList::Tracks); rows > 0) {
    // The track's status still says whether it was read with warnings.
    const bool inputWarned = track <= rows && tracks_.StatusOf(track - 1) == JobStatus::ReadWarned;
    SetTrackStatus(track, ctx_.cancelRequested          ? JobStatus::Cancelled
                          : lane.end == WorkEnd::Failed ? JobStatus::Failed
                          : declined                    ? JobStatus::Kept
                          : inputWarned                 ? JobStatus::FinishedWarned
                                                        : JobStatus::Finished);
  }
  lane.track = 0;
  lane.status.clear();
  lane.loudness.reset();
  if (ctx_.cancelRequested) {
    // The last lane to stop ends the run.
    if (AnyLaneBusy()) {
      ShowEncoderStatus();
      return;
    }
    EndWaitingReads();
    EnterIdleState();
  } else {
    ShowEncoderStatus();
    StartTrackEncode();
  }
}

void CdRun::AppendId3Tag(EncoderLane& lane) {
  const int track = lane.track;
  const CdInfo info = ctx_.host.CdInformation();
  const int rows = ctx_.host.RowCount(JobList::Tracks);
  const std::string name = track <= rows ? ctx_.host.TrackName(track - 1) : "";
  const TrackTagFields fields = MakeTrackTagFields(info, track, name);
  // The ID3v1 record holds what ISO-8859-1 and 29 characters allow; the ID3v2.4 tag at the
  // start of the file keeps the names whole, in UTF-8, with the track and disc numbers,
  // the genre, the MusicBrainz ids and the front cover.
  AudioTags tags = MakeTrackAudioTags(info, track, rows, name);
  tags.cover = cover_;
  const Id3v2Update v2 = Id3v2UpdateOf(tags);
  // Both tags go into the file in one rewrite: a new file beside it that replaces it only
  // once complete, so a full disk costs the tags and never the audio.
  TagFileUpdate update;
  update.id3v2 = v2;
  update.appendedId3v1 = EncodeId3v1Tag({fields.title, fields.artist, fields.album, fields.year}, kId3v1MakerTextLimit);
  if (WriteTagFile(lane.files.output, update)) {
    lane.host->AppendLog(MakerLog::Encoder, LogEvent::Info("    ID3 tag added."));
  } else {
    lane.end = WorkEnd::Failed;
    lane.host->AppendLog(MakerLog::Encoder, LogEvent::Error("    Error: Cannot write ID3 tag."));
  }
}

std::string CdRun::TrackOutputPath(int track, const std::string& extension) const {
  const std::string name =
      track >= 1 && track <= ctx_.host.RowCount(JobList::Tracks) ? ctx_.host.TrackName(track - 1) : std::string();
  return TrackFilePath(ctx_.settings.OutputFolder(), ctx_.host.CdInformation(), track, name, extension);
}

void CdRun::SetTrackStatus(int track, JobStatus status) {
  if (track < 1 || track > ctx_.host.RowCount(JobList::Tracks)) return;
  if (Job* job = tracks_.At(track - 1)) job->status = status;
  ctx_.host.SetRowStatus(JobList::Tracks, track - 1, status);
  ctx_.host.SetRowSelected(JobList::Tracks, track - 1, false);
}

void CdRun::EndWaitingReads() {
  if (ctx_.operation != Operation::CD2MP3) return;
  const int rows = ctx_.host.RowCount(JobList::Tracks);
  for (int track = 1; track <= rows; ++track) {
    if (!WaitsForEncoder(tracks_.StatusOf(track - 1))) continue;
    ctx_.files.EndTemporaryInput(track, tracks_.At(track - 1)->inputPath, "cancelled",
                                 ctx_.settings.cd2mp3DelTempOnError != 0);
    SetTrackStatus(track, JobStatus::Cancelled);
  }
}

void CdRun::LogTrackHeading() {
  const std::string track = TrackSubject(currentTrack_);
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Begin());
  ctx_.host.AppendLog(MakerLog::Reader, LogEvent::Info("Not reading: " + track, track));
}

void CdRun::EnterIdleState() {
  ctx_.EnterIdleState();
  reads_ = Reads::Over;
  if (reader_) stoppingReader_ = std::move(reader_);
}
