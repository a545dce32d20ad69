// The play list window's list: a view over the window's PlayList through a model, so
// that 100,000 entries cost no more to show than the rows on screen (no widget, no item
// object per entry). The model shows each entry cut to a length a row can draw.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <string>

class PlayList;

class TPlayListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  TPlayListModel(const PlayList& list, QObject* parent);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The list changed as a whole (filled, sorted, rows moved or removed).
  void Reset();

 private:
  const PlayList& list_;
};

// FileListBox: multi-selection, the end of a long entry kept in view. The selection is
// the view's; the window copies it into its PlayList as it changes.
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
};
