// The terminal stand-in for the maker's main window: rows in memory, the log on standard
// output, errors and warnings and the progress line on standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

// How a run shows itself.
struct TerminalChoices {
  bool answerYes = false;     // --yes: overwrite questions are answered Yes
  bool quiet = false;         // --quiet: nothing but errors, on `err`
  bool progressLine = false;  // `err` is a terminal: one updating progress line there
  // `out` and `err` reach the same file (one terminal, or 2>&1): an error line shows once.
  bool sharedStream = false;
  // The clock of the time estimates; steady_clock when empty.
  std::function<std::chrono::steady_clock::time_point()> clock;
};

// Log lines go to `out` as they come. A log event of severity Error or Warning goes to
// `err` as well, as "zbmaker: <file or track>: Error: ..." (its subject, else the subject
// of its log's current job) so that it is understood without the log; when both streams
// reach the same file it is printed once, to `err`, as it is. Only the severity decides:
// a line whose text looks like an error (a file named "Error: x.wav") is not one.
//
// Status texts: with `progressLine` they make one updating line on `err` that tells, per
// busy worker, what it does ("Encoding AAC"), the job's number of the count ("3/12"), the
// percentage, the estimated time left of that job and the file; otherwise each change of
// a panel's text is printed as a log line. Idle texts (" CD Reader: Idle") are left out.
// With `quiet` only errors are printed (no log, warnings, questions or status).
//
// Every text that carries data (file names, names of the disc) is printed through
// TerminalText, so no control character of it reaches the terminal.
// Questions get the answer that loses nothing (No, so nothing is overwritten) unless
// `answerYes` is set. Error boxes go to `err`.
class TerminalHost final : public PipelineHost {
 public:
  TerminalHost(std::FILE* out, std::FILE* err, TerminalChoices choices);

  // Clears the updating progress line, so the shell prompt starts on a clean line.
  void FinishStatusLine();
  // The rows of `list` the run is asked to do, in order: the count of the progress line.
  void ShowProgressOf(JobList list, const std::vector<bool>& wanted);

  // Runs of several file jobs at once: each job's lines and status texts come with its
  // file row and the lane (0, 1, ...) that runs it. A log line is printed after the prefix
  // "[n/count name] " (the job's number of the count and the file's name), so the lines of
  // jobs that run together are told apart; the empty line that opens a job's lines is
  // left out, as it would separate nothing. Errors and warnings reach `err` as for one
  // job. Status texts make one part of the progress line per lane, or prefixed lines.
  void BeginJob(int lane, int row);
  void AppendJobLog(int lane, int row, const LogEvent& event);
  void SetJobStatus(int lane, int row, const std::string& text);
  bool AskJobYesNo(int row, const std::string& text);
  // The existing outputs of the job of `row` (a lane's pipeline), as AskReplaceExisting.
  ReplaceAnswer AskJobReplaceExisting(int row, const std::vector<std::string>& paths);

  void AppendLog(MakerLog log, const LogEvent& event) override;
  void SetStatusText(MakerPanel panel, const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  // Existing outputs are replaced with --yes and kept otherwise; each is named on a line of
  // its own with the answer and why, as a question about it would be.
  ReplaceAnswer AskReplaceExisting(const std::vector<std::string>& paths) override;

  Operation SelectedOperation() const override { return operation_; }
  void SelectOperation(Operation operation) override { operation_ = operation; }

  int RowCount(JobList list) const override;
  std::string TrackName(int row) const override;
  std::string FilePath(int row) const override;
  void SetRowStatus(JobList list, int row, JobStatus status) override;
  bool RowSelected(JobList list, int row) const override;
  void SetRowSelected(JobList list, int row, bool selected) override;
  void AppendRow(JobList list, const std::string& text) override;

  void ClearLog(MakerLog) override {}
  void SetControlEnabled(MakerControl, bool) override {}
  void SetControlVisible(MakerControl, bool) override {}
  void SetControlHint(MakerControl, const std::string&) override {}
  void SetMenuChecked(MakerControl, bool) override {}
  void ShowError(const std::string& text, const std::string& caption) override;
  void Beep() override;
  void BringToFront() override {}
  int SelectedDrive() const override { return drive_; }
  CdInfo CdInformation() const override { return cdInfo_; }
  const TrackTable* DiscTable() const override { return disc_ ? &*disc_ : nullptr; }
  CdDriveIdentity SelectedDriveIdentity() const override { return driveIdentity_; }
  // Kept for the final list, where it follows the track's row.
  void SetRowVerification(int row, const std::string& text) override;

  // The row as it is printed in the summary, and the state of its job.
  std::string RowText(JobList list, int row) const;
  JobStatus StatusOfRow(JobList list, int row) const;
  // What proves the track row's rip ("Accurate (12)"), empty when nothing does.
  std::string RowVerification(int row) const;

  void SelectDrive(int drive) { drive_ = drive; }
  // The table of contents of the disc the run reads and the vendor and model of its drive.
  void SetDisc(const TrackTable& table, const CdDriveIdentity& identity) {
    disc_ = table;
    driveIdentity_ = identity;
  }
  CdInfo& MutableCdInfo() { return cdInfo_; }

  // The host for the CD to MP3 reader: its overwrite questions are about the maker's own
  // ".tmp" files, which are always replaced. Keeping one (say the part of a track that an
  // interrupted run left) would encode it in place of the disc's track.
  WorkerHost& TemporaryFileHost() { return temporaryFiles_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Row {
    std::string text;
    bool selected = false;
    JobStatus status = JobStatus::Pending;
    std::string verification{};
  };
  // The job a status panel shows, for the number of the count and the time estimate.
  struct PanelJob {
    int row = -1;
    Clock::time_point started{};
    std::optional<Clock::time_point> nextStart;  // when the next job of the panel began
  };
  std::vector<Row>& Rows(JobList list) { return list == JobList::Tracks ? tracks_ : files_; }
  const std::vector<Row>& Rows(JobList list) const { return list == JobList::Tracks ? tracks_ : files_; }
  Clock::time_point Now() const { return choices_.clock ? choices_.clock() : Clock::now(); }
  void ClearStatusLine();
  void DrawStatusLine();
  // The progress line's part for one panel's text; empty for an idle panel.
  std::string PanelProgress(MakerPanel panel, const std::string& text, const PanelJob& job);
  // Prints a log line (`shown`, which is the event's text with what it belongs to in
  // front) on `out`, an error or warning also on `err` as "zbmaker: <subject>: ...".
  void PrintLog(const LogEvent& event, const std::string& shown, const std::string& subject);
  // "[3/12 name.wav] " for the job on file row `row`.
  std::string JobPrefix(int row) const;
  // Prints a line (escaped) on `stream`; the progress line is cleared first and drawn
  // again below it.
  void PrintLine(std::FILE* stream, const std::string& line);
  // Prints the question with the answer given and why.
  bool Answer(const std::string& question, bool yes, const char* why);
  // What an error or warning line of `log` is about: the file or track of its job.
  std::string Subject(MakerLog log) const;

  struct TemporaryFiles final : WorkerHost {
    explicit TemporaryFiles(TerminalHost& h) : host(h) {}
    void AppendLog(MakerLog log, const LogEvent& event) override { host.AppendLog(log, event); }
    void SetStatusText(MakerPanel panel, const std::string& text) override { host.SetStatusText(panel, text); }
    bool AskYesNo(const std::string& text, const std::string&) override {
      return host.Answer(text, true, "Yes (temporary file)");
    }
    TerminalHost& host;
  };

  std::FILE* out_;
  std::FILE* err_;
  TerminalChoices choices_;
  Operation operation_ = Operation::CD2MP3;
  std::vector<Row> tracks_;
  std::vector<Row> files_;
  std::map<MakerPanel, std::string> status_;
  std::map<MakerPanel, PanelJob> panelJobs_;
  // The status of each lane of a run of several jobs at once.
  struct LaneStatus {
    PanelJob job;
    std::string text;
  };
  std::map<int, LaneStatus> lanes_;
  bool statusShown_ = false;
  int drive_ = 0;
  std::optional<TrackTable> disc_;
  CdDriveIdentity driveIdentity_;
  CdInfo cdInfo_;
  std::vector<int> jobRows_;  // rows of the run, in order (ShowProgressOf)
  int currentFileRow_ = -1;   // the file row the pipeline selected last
  std::map<MakerLog, std::string> subjects_;  // of each log's current job, from its events
  std::map<std::string, std::string> decodedFormats_;  // the format name of each decoded input
  TemporaryFiles temporaryFiles_{*this};
};
