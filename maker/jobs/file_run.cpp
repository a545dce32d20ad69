// FileRun: the file run's encodes and decodes, their delete rules and row words.
#include "maker/jobs/file_run.h"

#include <vector>

#include "common/paths.h"
#include "maker/codec/encode_result.h"

FileRun::~FileRun() { ReleaseWorkers(); }

bool FileRun::Start() {
  const int rows = ctx_.host.RowCount(JobList::Files);
  // With no rows there is no job; starting would address a row that does not exist.
  if (rows == 0) return false;
  files_.Reset(rows);
  for (int row = 0; row < rows; ++row) SetFileStatus(row, JobStatus::Pending);
  ctx_.cancelRequested = false;
  currentFile_ = 0;
  measured_.clear();
  ctx_.EnterBusyState();
  if (ctx_.operation == Operation::WAV2MP3)
    StartFileEncode();
  else
    StartFileDecode();
  return true;
}

void FileRun::Cancel() {
  if (encoder_) encoder_->Cancel();
  if (decoder_) decoder_->Cancel();
  if (replayGain_) replayGain_->Cancel();
}

void FileRun::ApplyPriority() {
  if (encoder_) encoder_->SetPriority(ctx_.priority);
}

void FileRun::StopWorkers() {
  RunContext::DropAndCancel(encoder_);
  RunContext::DropAndCancel(decoder_);
  RunContext::DropAndCancel(replayGain_);
}

void FileRun::ReleaseWorkers() {
  encoder_.reset();
  decoder_.reset();
  replayGain_.reset();
}

std::vector<PlannedOutput> FileRun::PlannedOutputs() const {
  std::vector<PlannedOutput> planned;
  if (ctx_.operation == Operation::WAV2MP3 && ctx_.settings.EncoderMode() == kModeExternal) return planned;
  const std::string extension = ctx_.operation == Operation::WAV2MP3 ? ctx_.EncodedExtension() : ".wav";
  const int rows = ctx_.host.RowCount(JobList::Files);
  for (int row = 0; row < rows; ++row) planned.push_back({row, ChangeFileExt(ctx_.host.FilePath(row), extension)});
  return planned;
}

bool FileRun::SkipKeptFile(void (FileRun::*startNext)()) {
  if (!HasRow(ctx_.keptOutputs, currentFile_)) return false;
  SelectOnlyFileRow(currentFile_);
  const std::string input = ctx_.host.FilePath(currentFile_);
  const bool encode = ctx_.operation == Operation::WAV2MP3;
  const std::string output = ChangeFileExt(input, encode ? ctx_.EncodedExtension() : ".wav");
  ctx_.LogKeptJob(MakerLog::Encoder, (encode ? "Not encoding: " : "Not decoding: ") + input, input, output,
                  encode ? "not encoded" : "not decoded");
  ++ctx_.skippedJobs;
  FinishFileJob(/*failed=*/false, /*kept=*/true, startNext);
  return true;
}

void FileRun::StartFileEncode() {
  if (SkipKeptFile(&FileRun::StartFileEncode)) return;
  SelectOnlyFileRow(currentFile_);
  ctx_.EnterBusyState();
  codecJob_.input = ctx_.host.FilePath(currentFile_);
  codecJob_.output = ChangeFileExt(codecJob_.input, ctx_.EncodedExtension());
  NoteFileJobPaths();
  EncoderJob job = ctx_.MakeEncoderJob(codecJob_.input);
  job.measureLoudness = MeasuresLoudness(job.mpegMode);
  codecEnd_ = WorkEnd::Finished;
  codecJob_.outputBefore = FileState::Of(codecJob_.output);
  codecStart_ = job.startTime;
  RunContext::StartWorker(encoder_, ctx_.factory.MakeEncoder(job, ctx_.host), [this](JobWorker* worker) { EncoderEnded(worker); });
  ApplyPriority();
}

void FileRun::StartFileDecode() {
  if (SkipKeptFile(&FileRun::StartFileDecode)) return;
  SelectOnlyFileRow(currentFile_);
  ctx_.EnterBusyState();
  codecJob_.input = ctx_.host.FilePath(currentFile_);
  codecJob_.output = ChangeFileExt(codecJob_.input, ".wav");
  NoteFileJobPaths();
  DecoderJob job;
  job.inputPath = codecJob_.input;
  job.confirmOverwrite = false;  // existing outputs were asked about before the run began
  job.keepPartialOutput = ctx_.settings.mp32wavDelWavOnError == 0;
  job.startTime = ctx_.Now();
  codecEnd_ = WorkEnd::Finished;
  codecJob_.outputBefore = FileState::Of(codecJob_.output);
  codecStart_ = job.startTime;
  RunContext::StartWorker(decoder_, ctx_.factory.MakeDecoder(job), [this](JobWorker* worker) { DecoderEnded(worker); });
}

void FileRun::EncoderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = RunContext::TakeEndedWorker(encoder_, worker);
  if (!ended) return;
  codecEnd_ = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  encodeLoudness_.reset();
  if (const auto* source = dynamic_cast<const EncodeResultSource*>(ended.get())) encodeLoudness_ = source->Loudness();
  OnEncoderFinished();
  encodeLoudness_.reset();
}

void FileRun::DecoderEnded(JobWorker* worker) {
  const auto end = RunContext::TakeWorkEnd(decoder_, worker);
  if (!end) return;
  codecEnd_ = *end;
  OnDecoderFinished();
}

// Completion of a file's encode: the delete rules, then its row and the next file.
void FileRun::OnEncoderFinished() {
  const bool declined = ctx_.JobDeclined(codecEnd_);
  if (ctx_.CodecFailed(codecEnd_)) {
    if (ctx_.settings.wav2mp3DelMp3OnError != 0) ctx_.files.DeleteOutput(codecJob_);
  } else if ((ctx_.settings.wav2mp3DelWavOnSuccess != 0 || deleteInputs_) && !declined) {
    ctx_.files.Delete(codecJob_.input, MakerLog::Encoder);
  }
  ctx_.LogJobEnd(MakerLog::Encoder, codecEnd_, codecStart_, codecJob_.output);
  // Only a file the run finished gets ReplayGain values.
  if (!ctx_.CodecFailed(codecEnd_) && !declined && encodeLoudness_) {
    ReplayGainFile measured{codecJob_.output, *encodeLoudness_};
    if (ctx_.replayGainSink)
      ctx_.replayGainSink(measured);
    else
      measured_.push_back(std::move(measured));
  }
  FinishFileJob(codecEnd_ == WorkEnd::Failed, declined, &FileRun::StartFileEncode);
}

// Completion of a decode.
void FileRun::OnDecoderFinished() {
  const bool declined = ctx_.JobDeclined(codecEnd_);
  if (ctx_.CodecFailed(codecEnd_)) {
    if (ctx_.settings.mp32wavDelWavOnError != 0) ctx_.files.DeleteOutput(codecJob_);
  } else if (ctx_.settings.mp32wavDelMp3OnSuccess != 0 && !declined) {
    ctx_.files.Delete(codecJob_.input, MakerLog::Encoder);
  }
  ctx_.LogJobEnd(MakerLog::Encoder, codecEnd_, codecStart_, codecJob_.output);
  FinishFileJob(codecEnd_ == WorkEnd::Failed, declined, &FileRun::StartFileDecode);
}

void FileRun::FinishFileJob(bool failed, bool kept, void (FileRun::*startNext)()) {
  SetFileStatus(currentFile_, ctx_.cancelRequested ? JobStatus::Cancelled
                              : failed             ? JobStatus::Failed
                              : kept               ? JobStatus::Kept
                                                   : JobStatus::Finished);
  ++currentFile_;
  if (!ctx_.cancelRequested && currentFile_ < ctx_.host.RowCount(JobList::Files)) {
    (this->*startNext)();
    return;
  }
  if (StartReplayGain()) return;
  EndRun();
}

void FileRun::EndRun() {
  ctx_.EnterIdleState();
  if (!ctx_.cancelRequested) ctx_.SignalDone(files_);
}

bool FileRun::MeasuresLoudness(int mode) const {
  if (ctx_.settings.replayGainFiles == 0 || ctx_.operation != Operation::WAV2MP3) return false;
  return mode == kModeMpeg1 || mode == kModeMpeg2 || EncoderWritesContainerTags(mode);
}

bool FileRun::StartReplayGain() {
  // A cancelled run writes no album values: its albums are not complete.
  if (ctx_.cancelRequested || measured_.empty()) return false;
  ReplayGainJob job;
  job.albums = AlbumsByFolder(std::move(measured_));
  measured_.clear();
  size_t files = 0;
  for (const auto& album : job.albums) files += album.size();
  ctx_.host.AppendLog(MakerLog::Encoder, LogEvent::Begin());
  ctx_.host.AppendLog(MakerLog::Encoder,
                      LogEvent::Info("ReplayGain: " + std::to_string(files) + (files == 1 ? " file" : " files") +
                                     " of " + std::to_string(job.albums.size()) +
                                     (job.albums.size() == 1 ? " album" : " albums")));
  RunContext::StartWorker(replayGain_, ctx_.factory.MakeReplayGainWriter(job),
                          [this](JobWorker* worker) { ReplayGainEnded(worker); });
  return true;
}

void FileRun::ReplayGainEnded(JobWorker* worker) {
  if (!RunContext::TakeEndedWorker(replayGain_, worker)) return;
  if (ctx_.cancelRequested) ctx_.host.AppendLog(MakerLog::Encoder, LogEvent::Done("    Cancelled."));
  EndRun();
}

void FileRun::SelectOnlyFileRow(int row) {
  const int rows = ctx_.host.RowCount(JobList::Files);
  for (int i = 0; i < rows; ++i) ctx_.host.SetRowSelected(JobList::Files, i, false);
  if (row < rows) ctx_.host.SetRowSelected(JobList::Files, row, true);
}

void FileRun::NoteFileJobPaths() {
  if (Job* job = files_.At(currentFile_)) {
    job->inputPath = codecJob_.input;
    job->outputPath = codecJob_.output;
  }
}

void FileRun::SetFileStatus(int row, JobStatus status) {
  if (row < 0 || row >= ctx_.host.RowCount(JobList::Files)) return;
  if (Job* job = files_.At(row)) job->status = status;
  ctx_.host.SetRowStatus(JobList::Files, row, status);
}
