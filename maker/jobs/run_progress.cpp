// RunProgress: how far a whole run is.
#include "maker/jobs/run_progress.h"

#include <algorithm>
#include <cmath>

void RunProgress::Start(std::vector<int64_t> jobBytes, int stages, double nowSeconds) {
  running_ = true;
  stages_ = std::clamp(stages, 1, 2);
  startSeconds_ = nowSeconds;
  bytes_ = std::move(jobBytes);
  for (int64_t& bytes : bytes_) bytes = std::max<int64_t>(bytes, 1);
  stagesDone_.assign(bytes_.size(), 0);
  ended_.assign(bytes_.size(), false);
  share_.assign(size_t(stages_), 0.0);
}

int RunProgress::JobInStage(int stage) const {
  for (size_t job = 0; job < bytes_.size(); ++job)
    if (!ended_[job] && stagesDone_[job] <= stage) return int(job);
  return -1;
}

void RunProgress::JobStatusChanged(int job, JobStatus status) {
  if (job < 0 || size_t(job) >= bytes_.size()) return;
  const auto i = size_t(job);
  const int stagesBefore = ended_[i] ? stages_ : stagesDone_[i];
  if (OutcomeOf(status)) {
    ended_[i] = true;
    stagesDone_[i] = stages_;
  } else if (WaitsForEncoder(status)) {
    stagesDone_[i] = std::max(stagesDone_[i], 1);
  } else {
    ended_[i] = false;
    stagesDone_[i] = 0;
  }
  // A stage the job has left starts over with the next job's share.
  for (int stage = stagesBefore; stage < std::min(stagesDone_[i], stages_); ++stage) share_[size_t(stage)] = 0.0;
}

void RunProgress::StageProgress(int stage, double share) {
  if (stage < 0 || stage >= stages_) return;
  // A stage that makes a second pass over its job (the normalization after a read)
  // reports from 0 again; the run does not go back for it.
  share_[size_t(stage)] = std::max(share_[size_t(stage)], std::clamp(share, 0.0, 1.0));
}

RunProgress::View RunProgress::At(double nowSeconds) const {
  View view;
  view.jobs = int(bytes_.size());
  double total = 0;
  double done = 0;
  int ended = 0;
  for (size_t job = 0; job < bytes_.size(); ++job) {
    total += double(bytes_[job]) * stages_;
    done += double(bytes_[job]) * stagesDone_[job];
    ended += ended_[job] ? 1 : 0;
  }
  for (int stage = 0; stage < stages_; ++stage)
    if (const int job = JobInStage(stage); job >= 0) done += double(bytes_[size_t(job)]) * share_[size_t(stage)];
  view.job = std::min(view.jobs, ended + 1);
  const double share = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
  view.percent = int(std::floor(share * 100.0 + 1e-9));
  // An estimate from the first seconds or the first percent swings too much to show.
  const double elapsed = nowSeconds - startSeconds_;
  if (elapsed >= 3.0 && share >= 0.01) view.secondsLeft = int(std::lround(elapsed * (1.0 - share) / share));
  return view;
}

std::string RunProgressText(const RunProgress::View& view, bool tracks) {
  std::string text = std::string(tracks ? "Track " : "File ") + std::to_string(view.job) + " of " +
                     std::to_string(view.jobs) + " \u2013 " + std::to_string(view.percent) + " %";
  if (view.secondsLeft < 0) return text;
  text += " \u2013 ";
  if (view.secondsLeft < 60) return text + std::to_string(std::max(view.secondsLeft, 1)) + " s left";
  const int minutes = (view.secondsLeft + 59) / 60;
  if (minutes < 60) return text + std::to_string(minutes) + " min left";
  return text + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min left";
}
