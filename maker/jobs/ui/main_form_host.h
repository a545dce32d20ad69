// The main window as the job pipeline's host: rows, logs, status panels and controls.
#pragma once

#include <array>

#include "maker/jobs/pipeline_host.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"
#include "maker/settings/maker_texts.h"

namespace maker { class TMainForm; }
class QListWidget;

// Maps every MakerControl to the window's widget of that name; rows are the list widgets'
// items, logs their memos, status texts their panels. Every text the pipeline gives is
// shown in the window's language (the form's MakerTexts; its boxes translate their texts
// themselves). Main thread only.
class MainFormHost final : public PipelineHost {
 public:
  explicit MainFormHost(maker::TMainForm& form) : form_(form), temporaryFiles_(*this) {}

  void AppendLog(MakerLog log, const LogEvent& event) override;
  void SetStatusText(MakerPanel panel, const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  ReplaceAnswer AskReplaceExisting(const std::vector<std::string>& paths) override;

  Operation SelectedOperation() const override;
  void SelectOperation(Operation operation) override;

  int RowCount(JobList list) const override;
  std::string TrackName(int row) const override;
  std::string FilePath(int row) const override;
  void SetRowStatus(JobList list, int row, JobStatus status) override;
  bool RowSelected(JobList list, int row) const override;
  void SetRowSelected(JobList list, int row, bool selected) override;
  void AppendRow(JobList list, const std::string& text) override;

  void ClearLog(MakerLog log) override;
  void SetControlEnabled(MakerControl control, bool enabled) override;
  void SetControlVisible(MakerControl control, bool visible) override;
  void SetControlHint(MakerControl control, const std::string& hint) override;
  void SetMenuChecked(MakerControl item, bool checked) override;

  void ShowError(const std::string& text, const std::string& caption) override;
  void Beep() override;
  void BringToFront() override;
  // Tells the desktop (a notification) when the window is not the active one.
  void RunDone(const RunSummary& run) override;

  int SelectedDrive() const override;
  // The table of contents the track rows show, and the chosen drive's vendor and model.
  const TrackTable* DiscTable() const override;
  CdDriveIdentity SelectedDriveIdentity() const override;
  // The words at the track row's right end, in the window's language, coloured by what
  // they say ("Accurate (12)" green, "Not accurate" and "Suspicious" red).
  void SetRowVerification(int row, const std::string& text) override;
  CdInfo CdInformation() const override;

  // The host of the CD to MP3 reader: its questions are about the maker's own ".tmp"
  // files, which are always replaced (keeping the part an interrupted run left would
  // encode it in place of the disc's track).
  WorkerHost& TemporaryFileHost() { return temporaryFiles_; }

  // How a row's verification rates the rip, from its English words.
  static VerificationRating RatingOf(const std::string& verification);

  // Shows the status panels' texts, the hints and the rows' status words, track column and
  // verification again in the window's language, after a language load (`previous`: the texts shown
  // until then).
  void ShowTextsAgain(const MakerTexts& previous);

 private:
  QListWidget* List(JobList list) const;
  std::string RowText(JobList list, int row) const;
  // The track row with its second column "Track NN" in the window's language.
  std::string WithTrackColumn(const std::string& row, int track) const;

  struct TemporaryFiles final : WorkerHost {
    explicit TemporaryFiles(MainFormHost& h) : host(h) {}
    void AppendLog(MakerLog log, const LogEvent& event) override { host.AppendLog(log, event); }
    void SetStatusText(MakerPanel panel, const std::string& text) override { host.SetStatusText(panel, text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    MainFormHost& host;
  };

  maker::TMainForm& form_;
  TemporaryFiles temporaryFiles_;
  std::array<std::string, 2> panelTexts_;  // the English text of each panel, by MakerPanel
};
