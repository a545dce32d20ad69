// JobPipeline: the file run (WAV to MP3 and MP3 to WAV). The file rows are encoded or
// decoded one after another, each selected while it runs.
#include "common/paths.h"
#include "maker/jobs/job_pipeline.h"

// The end of a file's encode: the delete rules, then its row and the next file.
void JobPipeline::EndFileEncode(bool declined) {
  if (CodecFailed()) {
    if (settings_.wav2mp3DelMp3OnError != 0) jobFiles_.DeleteOutput(codecJob_);
  } else if ((settings_.wav2mp3DelWavOnSuccess != 0 || deleteInputsThisRun_) && !declined) {
    jobFiles_.Delete(codecJob_.input, MakerLog::Encoder);
  }
  FinishFileJob(codecEnd_ == WorkEnd::Failed, declined, &JobPipeline::StartFileEncode);
}

// Encodes or decodes the file row currentFile_.
void JobPipeline::StartFileEncode() {
  SelectOnlyFileRow(currentFile_);
  encoderBusy_ = true;
  EnterBusyState();
  codecJob_.input = host_.FilePath(currentFile_);
  codecJob_.output = ChangeFileExt(codecJob_.input, EncodedExtension());
  NoteFileJobPaths();
  LaunchEncoder(MakeEncoderJob(codecJob_.input));
}

void JobPipeline::StartFileDecode() {
  SelectOnlyFileRow(currentFile_);
  decoderBusy_ = true;
  EnterBusyState();
  codecJob_.input = host_.FilePath(currentFile_);
  codecJob_.output = ChangeFileExt(codecJob_.input, ".wav");
  NoteFileJobPaths();
  DecoderJob job;
  job.inputPath = codecJob_.input;
  job.confirmOverwrite = settings_.confirmOverwrite != 0;
  job.keepPartialOutput = settings_.mp32wavDelWavOnError == 0;
  job.startTime = Now();
  LaunchDecoder(job);
}

void JobPipeline::LaunchDecoder(const DecoderJob& job) {
  codecEnd_ = WorkEnd::Finished;
  codecJob_.outputBefore = FileState::Of(codecJob_.output);
  decoderStart_ = job.startTime;
  StartWorker(decoder_, factory_.MakeDecoder(job), &JobPipeline::DecoderEnded);
  MenuOptionsPrioritySelectionClick(std::nullopt);
}

void JobPipeline::DecoderEnded(JobWorker* worker) {
  const std::unique_ptr<JobWorker> ended = TakeEndedWorker(decoder_, worker);
  if (!ended) return;
  codecEnd_ = WorkEndOf(ended->Error(), ended->Warning(), ended->Kept());
  OnDecoderFinished();
}

// Completion of a decode.
void JobPipeline::OnDecoderFinished() {
  if (!decoderBusy_) return;
  decoderBusy_ = false;
  if (cancelRequested_)
    host_.AppendLog(MakerLog::Encoder, LogEvent::Done("    Cancelled."));
  else if (codecEnd_ != WorkEnd::Failed)
    LogDone(MakerLog::Encoder, decoderStart_);

  const bool declined = JobDeclined();
  if (CodecFailed()) {
    if (settings_.mp32wavDelWavOnError != 0) jobFiles_.DeleteOutput(codecJob_);
  } else if (settings_.mp32wavDelMp3OnSuccess != 0 && !declined) {
    jobFiles_.Delete(codecJob_.input, MakerLog::Encoder);
  }
  FinishFileJob(codecEnd_ == WorkEnd::Failed, declined, &JobPipeline::StartFileDecode);
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

void JobPipeline::SelectOnlyFileRow(int row) {
  const int rows = host_.RowCount(JobList::Files);
  for (int i = 0; i < rows; ++i) host_.SetRowSelected(JobList::Files, i, false);
  if (row < rows) host_.SetRowSelected(JobList::Files, row, true);
}

void JobPipeline::NoteFileJobPaths() {
  if (Job* job = files_.At(currentFile_)) {
    job->inputPath = codecJob_.input;
    job->outputPath = codecJob_.output;
  }
}

void JobPipeline::SetFileStatus(int row, JobStatus status) {
  if (row < 0 || row >= host_.RowCount(JobList::Files)) return;
  if (Job* job = files_.At(row)) job->status = status;
  host_.SetRowStatus(JobList::Files, row, status);
}
