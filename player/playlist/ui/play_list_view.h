// The play list window's list: a view over the window's PlayList through a model, so
// that 100,000 entries cost no more to show than the rows on screen (no widget, no item
// object per entry). Each row shows "Artist – Title" (else the file name) with the
// playing time at its right; the entry playing is marked. Rows are reordered by
// dragging them; files dropped on the list join it.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QListView>
#include <QStyledItemDelegate>
#include <string>
#include <unordered_map>

#include "player/playlist/list_rows.h"

class PlayList;

class TPlayListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  // The playing time's text, for the delegate.
  static constexpr int kDurationRole = Qt::UserRole + 1;

  TPlayListModel(const PlayList& list, const std::unordered_map<std::string, EntryInfo>& info, QObject* parent);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDropActions() const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;

  // The list changed as a whole (filled, sorted, rows moved or removed).
  void Reset();
  // Tags or playing times were read: every row's text may have changed.
  void InfoChanged();
  // The row marked as playing (-1: none).
  void SetPlayingRow(int row);
  int PlayingRow() const { return playingRow_; }

 Q_SIGNALS:
  // Rows of this list dropped before `row` (the count: at the end). Queued: the view
  // finishes its drop before the list changes.
  void RowsDropped(QList<int> rows, int row);
  // Files dropped from elsewhere.
  void PathsDropped(QStringList paths);

 private:
  const PlayList& list_;
  const std::unordered_map<std::string, EntryInfo>& info_;
  int playingRow_ = -1;
  QIcon playingIcon_;
  QIcon blankIcon_;
};

// Draws a row's text elided to the room left by its playing time, which sits at the right.
class TPlayListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// FileListBox: multi-selection, rows dragged to reorder. The selection is the view's;
// the window copies it into its PlayList as it changes.
class TPlayListBox : public QListView {
  Q_OBJECT
 public:
  explicit TPlayListBox(QWidget* parent);

  int Count() const;
  int CurrentRow() const;
  // Makes row the current one without changing the selection.
  void SetCurrentRow(int row);
  bool IsRowSelected(int row) const;
  void SelectRow(int row, bool selected);
  // The text the row shows.
  QString RowText(int row) const;
  // The playing time the row shows ("" when not known).
  QString RowDuration(int row) const;
};
