// The terminal stand-in for the maker's main window: rows in memory, logs on stdout.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

// Log lines go to `out` as they come. Status texts share one updating line when `out` is a
// terminal; otherwise each change of a panel's text is printed as a line of its own.
// Idle texts (" CD Reader: Idle") are left out in both cases: they tell nothing new.
// Questions get the answer that loses nothing (No, so nothing is overwritten) unless
// `answerYes` is set. Error boxes go to `err`.
class TerminalHost final : public PipelineHost {
 public:
  TerminalHost(std::FILE* out, std::FILE* err, bool isTerminal, bool answerYes);

  // Clears the updating status line, so the shell prompt starts on a clean line.
  void FinishStatusLine();

  void AppendLog(MakerLog log, const std::string& line) override;
  void SetStatusText(MakerPanel panel, const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

  Operation SelectedOperation() const override { return operation_; }
  void SelectOperation(Operation operation) override { operation_ = operation; }

  int RowCount(JobList list) const override;
  std::string RowText(JobList list, int row) const override;
  void SetRowText(JobList list, int row, const std::string& text) override;
  bool RowSelected(JobList list, int row) const override;
  void SetRowSelected(JobList list, int row, bool selected) override;
  void AppendRow(JobList list, const std::string& text) override;

  void ClearLog(MakerLog) override {}
  void SetControlEnabled(const std::string&, bool) override {}
  void SetControlVisible(const std::string&, bool) override {}
  void SetControlHint(const std::string&, const std::string&) override {}
  void SetMenuChecked(const std::string&, bool) override {}
  void ShowError(const std::string& text, const std::string& caption) override;
  void Beep() override;
  void BringToFront() override {}
  int SelectedDrive() const override { return drive_; }
  CdInfo CdInformation() const override { return cdInfo_; }

  void SelectDrive(int drive) { drive_ = drive; }
  CdInfo& MutableCdInfo() { return cdInfo_; }

  // The host for the CD to MP3 reader: its overwrite questions are about the maker's own
  // ".tmp" files, which are always replaced. Keeping one (say the part of a track that an
  // interrupted run left) would encode it in place of the disc's track.
  WorkerHost& TemporaryFileHost() { return temporaryFiles_; }

 private:
  struct Row {
    std::string text;
    bool selected = false;
  };
  std::vector<Row>& Rows(JobList list) { return list == JobList::Tracks ? tracks_ : files_; }
  const std::vector<Row>& Rows(JobList list) const { return list == JobList::Tracks ? tracks_ : files_; }
  void ClearStatusLine();
  void DrawStatusLine();
  // Prints a line of its own; on a terminal the status line is cleared first and drawn
  // again below it.
  void PrintLine(const std::string& line);
  // Prints the question with the answer given and why.
  bool Answer(const std::string& question, bool yes, const char* why);

  struct TemporaryFiles final : WorkerHost {
    explicit TemporaryFiles(TerminalHost& h) : host(h) {}
    void AppendLog(MakerLog log, const std::string& line) override { host.AppendLog(log, line); }
    void SetStatusText(MakerPanel panel, const std::string& text) override { host.SetStatusText(panel, text); }
    bool AskYesNo(const std::string& text, const std::string&) override {
      return host.Answer(text, true, "Yes (temporary file)");
    }
    TerminalHost& host;
  };

  std::FILE* out_;
  std::FILE* err_;
  bool isTerminal_;
  bool answerYes_;
  Operation operation_ = Operation::CD2MP3;
  std::vector<Row> tracks_;
  std::vector<Row> files_;
  std::map<MakerPanel, std::string> status_;
  bool statusShown_ = false;
  int drive_ = 0;
  CdInfo cdInfo_;
  TemporaryFiles temporaryFiles_{*this};
};
