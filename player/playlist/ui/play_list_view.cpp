// The play list window's model and view.
#include "player/playlist/ui/play_list_view.h"

#include "player/playlist/bounded_text.h"
#include "player/playlist/play_list.h"

TPlayListModel::TPlayListModel(const PlayList& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}

int TPlayListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.Count());
}

QVariant TPlayListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<size_t>(index.row()) >= list_.Count()) return {};
  const std::string& text = list_.Entries()[static_cast<size_t>(index.row())].text;
  switch (role) {
    case Qt::DisplayRole:
      // The row elides on the left: the file name at the end is what tells entries apart.
      return QString::fromStdString(BoundedText(text, kListRowChars, KeptPart::End));
    case Qt::ToolTipRole:
      return QString::fromStdString(BoundedText(text, kToolTipChars, KeptPart::BothEnds));
    default:
      return {};
  }
}

void TPlayListModel::Reset() {
  beginResetModel();
  endResetModel();
}

TPlayListBox::TPlayListBox(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setTextElideMode(Qt::ElideLeft);
  // Every row as high as the first: the view lays out 100,000 rows without asking each.
  setUniformItemSizes(true);
  // Rows as wide as the list, each elided to it: no row widens the list for the others.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrap(false);
}

int TPlayListBox::Count() const { return model() ? model()->rowCount() : 0; }

int TPlayListBox::CurrentRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void TPlayListBox::SetCurrentRow(int row) {
  if (!model() || row < 0 || row >= Count()) return;
  selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
}

bool TPlayListBox::IsRowSelected(int row) const {
  return model() && row >= 0 && row < Count() && selectionModel()->isSelected(model()->index(row, 0));
}

void TPlayListBox::SelectRow(int row, bool selected) {
  if (!model() || row < 0 || row >= Count()) return;
  selectionModel()->select(model()->index(row, 0), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

QString TPlayListBox::RowText(int row) const {
  if (!model() || row < 0 || row >= Count()) return {};
  return model()->index(row, 0).data().toString();
}
