// Find Read Offset: what the main window asks of the search that runs on a worker thread,
// how the search ends, and the window that shows its progress and cancels it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <string>

#include "cdaccess/cd_source.h"
#include "cdaccess/track_table.h"
#include "maker/accuracy/accuraterip_lookup.h"

// What a search for a drive's read offset works with: the drive (its index in the CD
// layer and its identity), the disc's table of contents, and the lookup of its AccurateRip
// record (server, proxy, the disc's ids).
struct ReadOffsetQuest {
  int drive = 0;
  CdDriveIdentity identity;
  TrackTable table{};
  AccurateRipRequest lookup;
};

// How a search ended.
struct ReadOffsetOutcome {
  enum class Kind {
    Found,          // `offset` makes `tracks` tracks match, with `confidence`
    NotInDatabase,  // the database has no record of the disc
    NoMatch,        // no track matched at any offset tried
    Failed,         // the lookup or a read failed: `problem` says what happened
    Cancelled,
  };
  Kind kind = Kind::Failed;
  int offset = 0;
  int tracks = 0;
  int confidence = 0;
  std::string problem;
};

// The stages a search goes through, for the progress window.
enum class ReadOffsetStage { FetchingRecord, ReadingTracks };

// The search. Runs on a worker thread: it reports each stage it enters (any thread may
// call `stage`), asks `cancelled` now and then, and returns how it ended.
using FindReadOffsetFn = std::function<ReadOffsetOutcome(
    const ReadOffsetQuest& quest, const std::function<void(ReadOffsetStage)>& stage,
    const std::function<bool()>& cancelled)>;

// The progress window of a search: what the search does now, a busy bar and Cancel.
// Cancel (or Escape, or closing the window) asks the search to stop; the window stays
// until the main window has seen the search end.
class TFindReadOffsetForm : public QDialog {
  Q_OBJECT
 public:
  explicit TFindReadOffsetForm(QWidget* parent = nullptr);

  void SetText(const QString& text) { StageLabel->setText(text); }
  bool CancelAsked() const { return cancelAsked_; }

  QLabel* StageLabel;
  QProgressBar* BusyBar;
  QPushButton* CancelButton;

 Q_SIGNALS:
  void cancelAsked();

 public:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CancelButtonClick();

  bool cancelAsked_ = false;
};
