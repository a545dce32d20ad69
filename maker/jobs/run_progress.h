// RunProgress: how far a whole run is, from the bytes its jobs have read and encoded, for
// the window's title and its run bar ("Track 3 of 12 – 41 % – 2 min left").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maker/jobs/job_status.h"

// Follows the jobs of one run in the order they run. Each job passes one stage (a CD to
// WAV read, an encode, a decode) or two (CD to MP3: the read, then the encode), and each
// stage of a job weighs its bytes (a track's audio, a file's size), so a long track counts
// for more than a short one and the reads and the encodes count alike. The progress of
// the job a stage is working on comes from that stage's status panel; row states say when
// a stage or a job is done. Times are seconds on any steady clock.
class RunProgress {
 public:
  struct View {
    int job = 0;       // 1-based: the first job that has not ended
    int jobs = 0;
    int percent = 0;   // 0 ... 100, rounded down
    int secondsLeft = -1;  // -1 while it cannot be estimated yet
  };

  // Starts following a run of jobs of `jobBytes` (at least 1 byte each is counted), each
  // passing `stages` stages (1 or 2).
  void Start(std::vector<int64_t> jobBytes, int stages, double nowSeconds);
  void Stop() { running_ = false; }
  bool Running() const { return running_; }

  // The state of job `job` (0-based, in run order) changed: a read track (Read,
  // ReadWarned) has done its first stage, an ended job (OutcomeOf) all of them. Pending
  // is a job not yet worked on.
  void JobStatusChanged(int job, JobStatus status);
  // The share (0 ... 1) of its work that the job in `stage` (0 the first) has done; a
  // smaller share than one given before for the same job is ignored.
  void StageProgress(int stage, double share);

  View At(double nowSeconds) const;

 private:
  // The first job that has not done `stage`, or -1.
  int JobInStage(int stage) const;

  bool running_ = false;
  int stages_ = 1;
  double startSeconds_ = 0;
  std::vector<int64_t> bytes_;
  std::vector<int> stagesDone_;  // per job
  std::vector<bool> ended_;      // per job
  std::vector<double> share_;    // per stage: of the job JobInStage(stage)
};

// The run's progress in words: "Track 3 of 12 – 41 % – 2 min left" ("File" for the file
// operations); the time is left out until it can be estimated, and given in seconds below
// a minute and in hours and minutes from an hour.
std::string RunProgressText(const RunProgress::View& view, bool tracks);
