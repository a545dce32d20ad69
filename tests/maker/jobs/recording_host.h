// A PipelineHost for tests: rows, logs and control states in memory, everything recorded.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

class RecordingHost final : public PipelineHost {
 public:
  struct Row {
    std::string text;
    bool selected = false;
    std::vector<std::string> history;  // every text the row was given, in order
  };

  void AppendLog(MakerLog log, const std::string& line) override {
    (log == MakerLog::Reader ? readerLog : encoderLog).push_back(line);
  }
  void SetStatusText(MakerPanel panel, const std::string& text) override { status[panel] = text; }
  bool AskYesNo(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answerYes;
  }

  Operation SelectedOperation() const override { return operation; }
  void SelectOperation(Operation op) override { operation = op; }
  int RowCount(JobList list) const override { return static_cast<int>(Rows(list).size()); }
  std::string RowText(JobList list, int row) const override { return Rows(list).at(static_cast<size_t>(row)).text; }
  void SetRowText(JobList list, int row, const std::string& text) override {
    Row& r = Rows(list).at(static_cast<size_t>(row));
    r.text = text;
    r.history.push_back(text);
  }
  bool RowSelected(JobList list, int row) const override { return Rows(list).at(static_cast<size_t>(row)).selected; }
  void SetRowSelected(JobList list, int row, bool selected) override {
    Rows(list).at(static_cast<size_t>(row)).selected = selected;
  }
  void AppendRow(JobList list, const std::string& text) override { Rows(list).push_back({text, false, {}}); }
  void ClearLog(MakerLog log) override { (log == MakerLog::Reader ? readerLog : encoderLog).clear(); }
  void SetControlEnabled(const std::string& control, bool on) override { enabled[control] = on; }
  void SetControlVisible(const std::string& control, bool on) override { visible[control] = on; }
  void SetControlHint(const std::string& control, const std::string& hint) override { hints[control] = hint; }
  void SetMenuChecked(const std::string& item, bool on) override { checked[item] = on; }
  void ShowError(const std::string& text, const std::string& caption) override {
    errors.push_back(caption + "|" + text);
  }
  void Beep() override { ++beeps; }
  void BringToFront() override { ++frontCalls; }
  int SelectedDrive() const override { return drive; }
  CdInfo CdInformation() const override { return cdInfo; }

  std::vector<Row>& Rows(JobList list) { return list == JobList::Tracks ? tracks : files; }
  const std::vector<Row>& Rows(JobList list) const { return list == JobList::Tracks ? tracks : files; }
  std::string Status(JobList list, int row) const {
    const std::string& text = Rows(list).at(static_cast<size_t>(row)).text;
    return text.substr(0, text.find('\t'));
  }
  // Adds `count` track rows, "+" and selected, as after reading a table of contents.
  void AddTracks(int count) {
    for (int i = 1; i <= count; ++i) {
      char row[64];
      std::snprintf(row, sizeof row, "+\tTrack %02i\t03:00\t", i);
      tracks.push_back({row, true, {}});
    }
  }

  Operation operation = Operation::CD2MP3;
  std::vector<Row> tracks;
  std::vector<Row> files;
  std::vector<std::string> readerLog;
  std::vector<std::string> encoderLog;
  std::map<MakerPanel, std::string> status;
  std::map<std::string, bool> enabled;
  std::map<std::string, bool> visible;
  std::map<std::string, std::string> hints;
  std::map<std::string, bool> checked;
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  bool answerYes = false;
  int beeps = 0;
  int frontCalls = 0;
  int drive = 0;
  CdInfo cdInfo;
};
