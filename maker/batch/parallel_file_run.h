// Several file conversions of a batch run at once, each on a job pipeline of its own.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "common/main_loop.h"
#include "common/processor_count.h"
#include "maker/batch/terminal_host.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/settings/settings_table.h"

// Runs the file rows `rows` of `host` (WAV to MP3 or AAC, external program, or MP3/AAC to
// WAV, as host.SelectedOperation() says) on `lanes` job pipelines at once. Each lane is a
// pipeline of its own with a one-row file list, its own workers and its own overwrite
// answers, so a job behaves as it does in a run of one job at a time: the same row words,
// delete rules and kept-output rules, and the rows end in `host` as one pipeline would
// leave them. Rows are started in order; a row whose input or output is the input or
// output of a job still running waits for that job, so two jobs never write one file.
// The log lines of each job carry its file (TerminalHost::AppendJobLog).
//
// Start begins the first job; when the pipeline refuses it (a library is missing, an
// error box said why) nothing runs and Finished() is true at once. Cancel stops every
// running job and starts no more; rows not started keep "+". When the run ends without
// a cancel, the host hears the done signal (beeps) once, as after one pipeline's run.
// With ReplayGain of file runs on, the files the lanes measured are tagged at the run's
// end as one run does it (one album per folder, across the lanes), before the done signal;
// Cancel stops that too.
class ParallelFileRun {
 public:
  ParallelFileRun(MainLoop& loop, TerminalHost& host, SettingsTable& settings, LibraryProbe probe,
                  std::vector<int> rows, int lanes, bool deleteInputs);
  ~ParallelFileRun();
  ParallelFileRun(const ParallelFileRun&) = delete;
  ParallelFileRun& operator=(const ParallelFileRun&) = delete;

  void Start();
  void Cancel();
  // Every job has ended and its workers are gone (or nothing could start).
  bool Finished() const;

 private:
  class Lane;
  void LaneEnded(Lane& lane);
  // Starts the next rows on the idle lanes, in order.
  void FillLanes();
  // The input and output paths of the job on `row`.
  std::vector<std::string> JobFiles(int row) const;
  bool ClashesWithRunningJob(int row) const;
  // Writes the ReplayGain values of the files measured on a worker; false when there is
  // nothing to write.
  bool StartReplayGain();
  void ReplayGainEnded(JobWorker* worker);
  void SignalDone();

  MainLoop& loop_;
  TerminalHost& host_;
  SettingsTable& settings_;
  std::vector<int> rows_;
  size_t next_ = 0;  // index in rows_ of the next row to start
  bool cancelled_ = false;
  bool refused_ = false;
  int doneBeeps_ = 0;  // the beeps of the last job that ended without a cancel
  std::vector<std::unique_ptr<Lane>> lanes_;
  // The files the lanes measured, with their rows, and the writer of their values.
  std::vector<std::pair<int, ReplayGainFile>> measured_;
  RealJobWorkerFactory writerFactory_;
  std::unique_ptr<JobWorker> replayGain_;
};
