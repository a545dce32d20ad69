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
#include "maker/jobs/cd_run.h"
#include "maker/jobs/command_line.h"
#include "maker/jobs/file_run.h"
#include "maker/jobs/job_worker_factory.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/jobs/run_context.h"
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
// returns the host to idle. The CD run (CdRun) and the file run (FileRun) do the work of
// their operations through a RunContext the pipeline owns; the pipeline is the one entry
// for the window and the batch run. Every entry runs on the main loop's thread; worker
// completions arrive there too. Row numbers of tracks are 1-based (row n is track n).
//
// Destroying the pipeline during a run stops its workers and waits for them (the main
// loop keeps turning meanwhile for their hand-overs); their completions then no longer
// run, so the rows and files of the jobs stopped so are left as they are. An owner that
// wants the Cancel outcomes (row words, delete rules) cancels and turns the loop until
// HasLiveWorkers() is false first.
class JobPipeline {
 public:
  // With ConfirmOverwrite, Start finds the outputs of the run's jobs that exist already and
  // asks the host once (AskReplaceExisting): "Replace all" runs every job, "Keep all"
  // skips the jobs of those outputs (a track is then not read), "Cancel" starts nothing.
  // No worker asks again during the run. A job that kept an existing output (skipped so,
  // or a worker that ended Kept()) runs no delete-on-success rule (its input would
  // otherwise be lost), an encode adds no ID3 tag to the kept file, its row ends "Kept"
  // ("Kept:" for files) and it counts in SkippedJobs(). Each job's log ends with exactly
  // one end line (RunContext::LogJobEnd).
  JobPipeline(MainLoop& loop, PipelineHost& host, JobWorkerFactory& factory, SettingsTable& settings,
              LibraryProbe probe = ProbeOutsideLibrary);
  ~JobPipeline();
  JobPipeline(const JobPipeline&) = delete;
  JobPipeline& operator=(const JobPipeline&) = delete;

  // How the command line's files become rows: every file for WAV2MP3 (the terminal, whose
  // options choose the operation), or by their kind (a window: WAV files encode, MP3 and
  // AAC files decode, the first file's kind wins, folders are collected as Add Directory
  // does, and what does not fit is returned in `refused`).
  enum class CommandLineInputs { EncodeFiles, ByKind };
  // Applies the program's arguments to the settings and the file list; when the file list
  // then has rows, selects the operation and arms AutoStart.
  CommandLineFiles ApplyCommandLine(const std::vector<std::string>& args,
                                    CommandLineInputs inputs = CommandLineInputs::EncodeFiles);
  // The window's first show: idle state, then Start when AutoStart is armed and Start is
  // enabled.
  void FormShow();

  void StartButtonClick();
  void CancelButtonClick();
  // A priority menu item was clicked (nullopt: re-apply the checked one after a start).
  void MenuOptionsPrioritySelectionClick(std::optional<ThreadPriority> clicked);

  // Output path of 1-based track `track` with `extension` (".tmp" or ".wav").
  std::string TrackOutputPath(int track, const std::string& extension) const;

  bool Busy() const { return cd_.Busy() || file_.Busy(); }
  bool HasLiveWorkers() const { return cd_.HasLiveWorkers() || file_.HasLiveWorkers(); }
  bool AutoStart() const { return autoStart_; }
  // Jobs of all runs so far that ended without writing because an existing output was kept
  // (their rows end "Kept" or "Kept:").
  int SkippedJobs() const { return ctx_.skippedJobs; }
  // Whether Start has work to do, from the rows and the selected operation: a selected
  // track (CD operations) or any file row. The idle state enables StartButton by it.
  bool StartEnabled() const;
  bool CancelRequested() const { return ctx_.cancelRequested; }
  ThreadPriority CheckedPriority() const { return ctx_.priority; }
  // "-delete" of the command line: delete WAV inputs after a successful encode.
  void SetDeleteInputsThisRun(bool on) { file_.SetDeleteInputs(on); }
  // The terminal's CD run choices: the AccurateRip server (empty: the environment's or the
  // setting's), the drive's read offset (nullopt: the one stored for its model) and the
  // path of the rip log (empty: beside the first track's file, named after the album).
  void SetAccurateRipServer(const std::string& url) { ctx_.accurateRipServer = url; }
  void SetReadOffset(std::optional<int> offset) { ctx_.readOffset = offset; }
  void SetRipLogPath(const std::string& path) { ctx_.ripLogPath = path; }
  // How many tracks a CD to MP3 run encodes at once (the terminal's --jobs); without it
  // the EncoderJobs setting decides (RunContext::EncoderLanes).
  void SetEncoderLanes(std::optional<int> lanes) { ctx_.encoderLanes = lanes; }
  // File runs hand each file they measured for ReplayGain to `sink` instead of writing
  // the values at their end (RunContext::replayGainSink).
  void SetReplayGainSink(std::function<void(const ReplayGainFile&)> sink) { ctx_.replayGainSink = std::move(sink); }

 private:
  // Asks about the existing outputs of the run about to start (ConfirmOverwrite); sets the
  // context's keptOutputs. False when the run is not to start.
  bool DecideExistingOutputs();

  LibraryProbe probe_;
  bool autoStart_ = false;
  // What the runs share; declared before them, since they work through it until they are
  // gone.
  RunContext ctx_;
  CdRun cd_;
  FileRun file_;
};
