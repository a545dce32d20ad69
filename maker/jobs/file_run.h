// FileRun: the file run of the job pipeline (WAV to MP3 and MP3 to WAV).
#pragma once

#include <ctime>
#include <memory>
#include <vector>

#include "maker/jobs/replay_gain_writer.h"
#include "maker/jobs/run_context.h"

// Encodes (WAV to MP3) or decodes (MP3 to WAV) the rows of the file list one after
// another, each row selected while it runs. File rows are 0-based. Its entries and its
// workers' completions run on the main loop's thread.
class FileRun {
 public:
  explicit FileRun(RunContext& context) : ctx_(context) {}
  ~FileRun();
  FileRun(const FileRun&) = delete;
  FileRun& operator=(const FileRun&) = delete;

  // Marks every file row pending and starts the first one; false, with no run begun, when
  // the list is empty. The context's operation is WAV to MP3 or MP3 to WAV.
  bool Start();
  // Asks the worker of the run to stop; its completion ends the run.
  void Cancel();
  // Gives the encoder that runs the context's priority.
  void ApplyPriority();
  // Drops the completions of the workers and asks them to stop (the owner is going away),
  // then waits for them (ReleaseWorkers).
  void StopWorkers();
  void ReleaseWorkers();

  // A file is encoded or decoded.
  bool Busy() const { return encoder_ || decoder_ || replayGain_; }
  bool HasLiveWorkers() const { return Busy(); }
  // "-delete" of the command line: delete WAV inputs after a successful encode.
  void SetDeleteInputs(bool on) { deleteInputs_ = on; }
  // The files the rows' jobs would write in the context's operation (none for an external
  // program, whose outputs its command names).
  std::vector<PlannedOutput> PlannedOutputs() const;

 private:
  // Encodes or decodes the file row currentFile_.
  void StartFileEncode();
  // The job of row currentFile_ is skipped when its output is one the run keeps ("Keep
  // all"): its row ends "Kept:" and `startNext` goes on with the next row. True when it was.
  bool SkipKeptFile(void (FileRun::*startNext)());
  void StartFileDecode();
  void EncoderEnded(JobWorker* worker);
  void DecoderEnded(JobWorker* worker);
  // The ends of a file's encode and decode: logs, delete rules, then its row.
  void OnEncoderFinished();
  void OnDecoderFinished();
  // Marks the file row of the encode or decode that ended ("Kept:" when it left an existing
  // output as it was), then starts the next row with `startNext` or ends the run.
  void FinishFileJob(bool failed, bool kept, void (FileRun::*startNext)());
  void SelectOnlyFileRow(int row);
  // Sets the job's status in the job table and shows it on its row.
  void SetFileStatus(int row, JobStatus status);
  // The paths of the file job that starts (codecJob_) in its job.
  void NoteFileJobPaths();
  // Whether the encodes measure their input's loudness: ReplayGain of file runs is on
  // and the format takes tags (MP3, M4A, FLAC, Ogg Vorbis, Opus).
  bool MeasuresLoudness(int mode) const;
  // Writes the ReplayGain values of the files measured, one album per folder, on a
  // worker; false when there is nothing to write.
  bool StartReplayGain();
  void ReplayGainEnded(JobWorker* worker);
  // The idle state at the run's end, and Done unless it was cancelled.
  void EndRun();

  RunContext& ctx_;
  bool deleteInputs_ = false;
  JobTable files_;
  int currentFile_ = 0;                   // 0-based
  CodecJobFiles codecJob_;                // the encode or decode that runs
  WorkEnd codecEnd_ = WorkEnd::Finished;  // how the encode or decode that ended ended
  std::time_t codecStart_ = 0;
  // The loudness the ended encode measured, and the finished files of the run with their
  // loudness, until the run's end writes their ReplayGain values.
  std::optional<TrackLoudness> encodeLoudness_;
  std::vector<ReplayGainFile> measured_;
  std::unique_ptr<JobWorker> encoder_;
  std::unique_ptr<JobWorker> decoder_;
  std::unique_ptr<JobWorker> replayGain_;
};
