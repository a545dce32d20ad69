// RunContext: what the CD run and the file run of the job pipeline share.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/worker_thread.h"
#include "maker/jobs/existing_outputs.h"
#include "maker/jobs/job_files.h"
#include "maker/jobs/job_status.h"
#include "maker/jobs/job_worker_factory.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/settings/settings_table.h"

// The host, the worker factory and the settings of a pipeline, the request of Cancel, the
// operation of the current run and the priority for its encoder, with the steps both runs
// take: starting a worker in a slot and taking it back when it has ended, the encode job
// from the settings, the "Done" log lines, and the busy and idle states of the window.
// JobPipeline owns it; its CdRun and FileRun work through it.
class RunContext {
 public:
  RunContext(PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings)
      : host(host), factory(factory), settings(settings), files(host) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // Puts `worker` in `slot` and starts it; its completion calls `ended` with it on the
  // main loop.
  static void StartWorker(std::unique_ptr<JobWorker>& slot, std::unique_ptr<JobWorker> worker,
                          std::function<void(JobWorker*)> ended);
  // The ended worker, joined and taken out of `slot`; nullptr when `worker` is no longer
  // the one in the slot (a stale completion).
  static std::unique_ptr<JobWorker> TakeEndedWorker(std::unique_ptr<JobWorker>& slot, JobWorker* worker);
  // How the ended worker's job ended (WorkEndOf its flags), the worker taken out of `slot`
  // and joined; nullopt for a stale completion.
  static std::optional<WorkEnd> TakeWorkEnd(std::unique_ptr<JobWorker>& slot, JobWorker* worker);
  // Drops the completion of the worker in `slot` (if any) and asks it to stop.
  static void DropAndCancel(const std::unique_ptr<JobWorker>& slot);

  // The encode of `inputPath` from the settings, for the current operation. It never asks
  // before it replaces an existing output: the run asked once before it began, and the
  // jobs whose outputs are kept do not run (keptOutputs).
  EncoderJob MakeEncoderJob(const std::string& inputPath) const;
  // ".aac" or ".mp3", by the encoder mode.
  std::string EncodedExtension() const;
  // The encoder panel's idle text, naming the chosen format (" FLAC Encoder: Idle").
  std::string EncoderIdleText() const;
  // The encode or decode that ended with `end` kept an existing output (its worker's
  // Kept()), and was not cancelled: counted in skippedJobs.
  bool JobDeclined(WorkEnd end);
  // Whether the encode or decode that ended with `end` counts as failed (a cancelled one does).
  bool CodecFailed(WorkEnd end) const { return cancelRequested || end == WorkEnd::Failed; }
  // The one end line of a job on `log` whose worker ended with `end`, started at `start`:
  // "Cancelled." after Cancel, "Done (n seconds)." when it finished (with warnings too),
  // "Kept the existing file OUTPUT." when its worker kept `output`; none when it failed,
  // since its error line ends it.
  void LogJobEnd(MakerLog log, WorkEnd end, std::time_t start, const std::string& output) {
    LogJobEnd(host, log, end, start, output);
  }
  // The same, on `to` (an encoder lane's host, which labels the line with its track).
  void LogJobEnd(WorkerHost& to, MakerLog log, WorkEnd end, std::time_t start, const std::string& output);
  // The lines of a job skipped because its existing output is kept: the heading
  // `heading` about `subject`, then the kept line as the job's end line.
  void LogKeptJob(MakerLog log, const std::string& heading, const std::string& subject, const std::string& output,
                  const std::string& why);
  std::time_t Now() const { return std::time(nullptr); }

  // Window states: a run disables the controls that would change its jobs and shows
  // Cancel; idle enables them again and shows Start.
  void EnterBusyState();
  void EnterIdleState();
  // The end of a run that was not cancelled: the beeps, bringing the window to front, and
  // the host told how the run's `jobs` ended.
  void SignalDone(const JobTable& jobs);
  // The rows of `list` selected as a run starts; EnterIdleState selects them again when the
  // run has ended (a run deselects each row it is done with), so that Start repeats it.
  void RememberSelection(JobList list);
  void ForgetSelection() { selectionList_.reset(); }
  // Whether Start has work to do (see JobPipeline::StartEnabled).
  bool StartEnabled() const;
  bool AnyRowSelected(JobList list) const;

  PipelineHost& host;
  JobWorkerFactory& factory;
  SettingsTable& settings;
  JobFiles files;
  Operation operation = Operation::CD2MP3;  // the operation of the current run
  bool cancelRequested = false;
  // The jobs of this run whose existing outputs are kept: they do not run.
  std::vector<PlannedOutput> keptOutputs;
  int skippedJobs = 0;
  ThreadPriority priority = ThreadPriority::Normal;
  // Choices of the terminal's CD runs beyond the settings: the AccurateRip server (it wins
  // over ZIMBAR_ACCURATERIP_SERVER), the drive's read offset, and where the rip log goes
  // (else beside the first track's file).
  std::string accurateRipServer;
  std::optional<int> readOffset;
  std::string ripLogPath;
  // How many tracks a CD to MP3 run encodes at once: this count when set (the terminal's
  // --jobs), else the EncoderJobs setting (EncoderLanes).
  std::optional<int> encoderLanes;
  int EncoderLanes() const;
  // Where a file run's measured files go when its owner writes their ReplayGain values
  // itself (the terminal's parallel file runs, whose albums span several pipelines); when
  // unset, the file run writes them at its end.
  std::function<void(const ReplayGainFile&)> replayGainSink;

 private:
  void RestoreSelection();
  std::optional<JobList> selectionList_;
  std::vector<bool> selection_;
};
