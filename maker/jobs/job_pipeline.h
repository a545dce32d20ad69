// JobPipeline: the engine behind Start and Cancel of the maker (all four operations).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/main_loop.h"
#include "common/worker_thread.h"
#include "maker/jobs/command_line.h"
#include "maker/jobs/job_files.h"
#include "maker/jobs/job_worker_factory.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/settings/settings_table.h"

// What a library probe found. A probe may answer with a plain bool; the real one also
// says why a library is unusable (its file name and the folders searched, or the loader's
// reason), and Start shows that after "ERROR: Cannot load ZIMBAR library".
struct LibraryProbeResult {
  LibraryProbeResult(bool usable) : loaded(usable) {}  // implicit, for probes that answer true or false
  LibraryProbeResult(bool usable, std::string why) : loaded(usable), problem(std::move(why)) {}
  bool loaded;
  std::string problem;
};
// Answers whether an outside library loads and, when entry is not null, has that entry.
using LibraryProbe = std::function<LibraryProbeResult(const std::string& library, const char* entry)>;
// The real probe, through the outside-library loader (the library is unloaded again).
LibraryProbeResult ProbeOutsideLibrary(const std::string& library, const char* entry);

// Turns the selected rows of the track list or the file list into jobs, runs them on
// workers made by the factory, chains them (reading the next CD track overlaps encoding
// the previous one), writes row status words and log lines, applies the delete rules and
// returns the host to idle. Every entry runs on the main loop's thread; worker completions
// arrive there too. Row numbers of tracks are 1-based (row n is track n).
//
// Destroying the pipeline during a run stops its workers and waits for them (the main
// loop keeps turning meanwhile for their hand-overs); their completions then no longer
// run, so the rows and files of the jobs stopped so are left as they are. An owner that
// wants the Cancel outcomes (row words, delete rules) cancels and turns the loop until
// HasLiveWorkers() is false first.
class JobPipeline {
 public:
  // A job whose worker ended Kept() (its overwrite question was answered No) kept the old
  // output, so no delete-on-success rule runs for it (its input would otherwise be lost),
  // an encode adds no ID3 tag to the kept file, its row ends "Kept" ("Kept:" for files)
  // and it counts in SkippedJobs().
  JobPipeline(MainLoop& loop, PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings,
              LibraryProbe probe = ProbeOutsideLibrary);
  ~JobPipeline();
  JobPipeline(const JobPipeline&) = delete;
  JobPipeline& operator=(const JobPipeline&) = delete;

  // Applies the program's arguments to the settings and the file list; when the file list
  // then has rows, selects WAV2MP3 and arms AutoStart.
  CommandLineFiles ApplyCommandLine(const std::vector<std::string>& args);
  // The window's first show: idle state, then Start when AutoStart is armed and Start is
  // enabled.
  void FormShow();

  void StartButtonClick();
  void CancelButtonClick();
  // A priority menu item was clicked (nullopt: re-apply the checked one after a start).
  void MenuOptionsPrioritySelectionClick(std::optional<ThreadPriority> clicked);

  // Output path of 1-based track `track` with `extension` (".tmp" or ".wav").
  std::string TrackOutputPath(int track, const std::string& extension) const;

  bool Busy() const { return readerBusy_ || encoderBusy_ || decoderBusy_; }
  bool HasLiveWorkers() const { return reader_ || encoder_ || decoder_; }
  bool AutoStart() const { return autoStart_; }
  // Jobs of all runs so far that ended without writing because an existing output was kept
  // (their rows end "Kept" or "Kept:").
  int SkippedJobs() const { return skippedJobs_; }
  // Whether Start has work to do, from the rows and the selected operation: a selected
  // track (CD operations) or any file row. The idle state enables StartButton by it.
  bool StartEnabled() const;
  bool CancelRequested() const { return cancelRequested_; }
  ThreadPriority CheckedPriority() const { return priority_; }
  // "-delete" of the command line: delete WAV inputs after a successful encode.
  void SetDeleteInputsThisRun(bool on) { deleteInputsThisRun_ = on; }

 private:
  // The steps of a run, in the order of a CD to MP3 run.
  void StartTrackRead();
  void OnReaderFinished();
  void StartTrackEncode();
  void OnEncoderFinished();
  // The ends of an encode that OnEncoderFinished hands on: a track's (its ".tmp" input,
  // output and row, then the next waiting track) or a file's (then the next file row).
  // `declined`: the encode kept an existing output.
  void EndTrackEncode(bool declined);
  void EndFileEncode(bool declined);
  void StartFileEncode();
  void StartFileDecode();
  void OnDecoderFinished();
  void EnterBusyState();
  void EnterIdleState();
  void SignalDone();
  bool AnyRowSelected(JobList list) const;

  // Puts `worker` in `slot` and starts it; its completion calls `ended` on the main loop.
  void StartWorker(std::unique_ptr<JobWorker>& slot, std::unique_ptr<JobWorker> worker,
                   void (JobPipeline::*ended)(JobWorker*));
  // The ended worker, joined and taken out of `slot`; nullptr when `worker` is no longer
  // the one in the slot (a stale completion).
  static std::unique_ptr<JobWorker> TakeEndedWorker(std::unique_ptr<JobWorker>& slot, JobWorker* worker);
  void LaunchReader(const ReaderJob& job);
  void LaunchEncoder(const EncoderJob& job);
  void LaunchDecoder(const DecoderJob& job);
  void ReaderEnded(JobWorker* worker);
  void EncoderEnded(JobWorker* worker);
  void DecoderEnded(JobWorker* worker);
  EncoderJob MakeEncoderJob(const std::string& inputPath) const;
  std::string EncodedExtension() const;
  // Marks the file row of the encode or decode that ended ("Kept:" when it left an existing
  // output as it was), then starts the next row with `startNext` or ends the run.
  void FinishFileJob(bool failed, bool kept, void (JobPipeline::*startNext)());
  // CD to MP3 with ConfirmOverwrite: asks before a track is read whether its existing
  // encoded output may be replaced. False when not: the track is not read at all.
  bool MayReplaceEncodedOutput();
  // After Cancel in CD to MP3: the tracks read but not yet encoded end "Cancelled" and
  // their ".tmp" files are deleted or kept (JobFiles::EndTemporaryInput).
  void EndWaitingReads();
  void SelectOnlyFileRow(int row);
  // Sets the job's status in the job table and shows it on its row.
  void SetFileStatus(int row, JobStatus status);
  void SetTrackStatus(int track, JobStatus status);
  // The paths of the file job that starts (codecInputPath_, codecOutputPath_) in its job.
  void NoteFileJobPaths();
  void AppendId3Tag();
  void LogDone(MakerLog log, std::time_t start);
  // The heading "Not reading: Track NN" that opens the reader log's lines of a track that
  // ends before a thread reads it (a read track's lines open with the thread's "Reading:
  // Track NN"): its lines are then the track's own, in the window's log and for the
  // terminal, not the previous track's.
  void LogTrackHeading();
  // The encode or decode that just ended kept an existing output (its worker's Kept()), and
  // neither failed nor was cancelled: counted in SkippedJobs().
  bool JobDeclined();
  bool CodecFailed() const { return cancelRequested_ || codecEnd_ == WorkEnd::Failed; }
  std::time_t Now() const { return std::time(nullptr); }

  MainLoop& loop_;
  PipelineHost& host_;
  JobWorkerFactory& factory_;
  SettingsTable& settings_;
  LibraryProbe probe_;
  JobFiles jobFiles_;
  int skippedJobs_ = 0;

  Operation operation_ = Operation::CD2MP3;  // the operation of the current run
  bool cancelRequested_ = false;
  bool readerBusy_ = false;
  bool encoderBusy_ = false;
  bool decoderBusy_ = false;
  bool autoStart_ = false;
  bool deleteInputsThisRun_ = false;
  JobTable tracks_;
  JobTable files_;
  int currentTrack_ = 0;   // 1-based
  int encodingTrack_ = 0;  // 1-based
  int currentFile_ = 0;    // 0-based
  std::string readerOutputPath_;  // empty for a read that never ran (name clash, cancelled)
  // Files the reads of this run write, with their tracks: a later track with the same path
  // is refused.
  std::vector<std::pair<std::string, int>> readPaths_;
  // Encoded outputs whose replacement was confirmed before their track was read.
  std::vector<std::string> confirmedOutputs_;
  CodecJobFiles codecJob_;                 // the encode or decode that runs
  std::optional<FileState> readerBefore_;  // the reader's output when it started
  WorkEnd readEnd_ = WorkEnd::Finished;   // how the track's read ended
  WorkEnd codecEnd_ = WorkEnd::Finished;  // how the encode or decode that ended ended
  std::time_t readerStart_ = 0;
  std::time_t encoderStart_ = 0;
  std::time_t decoderStart_ = 0;
  ThreadPriority priority_ = ThreadPriority::Normal;

  std::unique_ptr<JobWorker> reader_;
  std::unique_ptr<JobWorker> encoder_;
  std::unique_ptr<JobWorker> decoder_;
  // The reader of a run that went idle while it was still stopping (Cancel in CD to MP3):
  // its completion is ignored, and a new run's first read waits for it to end, since the
  // reader library serves one track at a time.
  bool readerOrphaned_ = false;
  std::optional<ReaderJob> deferredRead_;
};
