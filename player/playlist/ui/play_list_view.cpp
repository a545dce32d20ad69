// The play list window's model, row painting and view.
#include "player/playlist/ui/play_list_view.h"

#include <QApplication>
#include <QFont>
#include <QMimeData>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QUrl>

#include "player/playlist/bounded_text.h"
#include "player/playlist/play_list.h"

namespace {

// The rows a drag carries, within this program.
const QString kRowsMime = QStringLiteral("application/x-zbplayer-rows");

}  // namespace

TPlayListModel::TPlayListModel(const PlayList& list, const std::unordered_map<std::string, EntryInfo>& info,
                               QObject* parent)
    : QAbstractListModel(parent), list_(list), info_(info),
      playingIcon_(QApplication::style()->standardIcon(QStyle::SP_MediaPlay)) {
  // The other rows keep the icon's room empty, so that every text starts in one column.
  QPixmap room(64, 64);
  room.fill(Qt::transparent);
  blankIcon_ = QIcon(room);
}

int TPlayListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.Count());
}

QVariant TPlayListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<size_t>(index.row()) >= list_.Count()) return {};
  const std::string& text = list_.Entries()[static_cast<size_t>(index.row())].text;
  const auto found = info_.find(text);
  const EntryInfo* info = found == info_.end() ? nullptr : &found->second;
  switch (role) {
    case Qt::DisplayRole: {
      const bool tagged = info != nullptr && !info->title.empty();
      // A file name elides on the left (its end tells entries apart), a tag's text on
      // the right.
      return QString::fromStdString(
          BoundedText(EntryRowText(text, info), kListRowChars, tagged ? KeptPart::Start : KeptPart::End));
    }
    case Qt::ToolTipRole:
      return QString::fromStdString(BoundedText(text, kToolTipChars, KeptPart::BothEnds));
    case kDurationRole:
      return QString::fromStdString(info != nullptr ? DurationText(info->durationMs) : std::string());
    case Qt::FontRole:
      if (index.row() == playingRow_) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::DecorationRole:
      return index.row() == playingRow_ ? playingIcon_ : blankIcon_;
    default:
      return {};
  }
}

Qt::ItemFlags TPlayListModel::flags(const QModelIndex& index) const {
  const Qt::ItemFlags base = QAbstractListModel::flags(index);
  // Drops go between rows, never onto one.
  return index.isValid() ? base | Qt::ItemIsDragEnabled : base | Qt::ItemIsDropEnabled;
}

Qt::DropActions TPlayListModel::supportedDropActions() const { return Qt::MoveAction | Qt::CopyAction; }

QStringList TPlayListModel::mimeTypes() const { return {kRowsMime, QStringLiteral("text/uri-list")}; }

QMimeData* TPlayListModel::mimeData(const QModelIndexList& indexes) const {
  QStringList rows;
  for (const QModelIndex& index : indexes)
    if (index.isValid()) rows.push_back(QString::number(index.row()));
  auto* data = new QMimeData;
  data->setData(kRowsMime, rows.join(QLatin1Char(',')).toLatin1());
  return data;
}

bool TPlayListModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent) {
  if (data == nullptr) return false;
  const int count = rowCount();
  const int at = row >= 0 ? std::min(row, count) : parent.isValid() ? parent.row() : count;
  if (data->hasFormat(kRowsMime)) {
    QList<int> rows;
    for (const QByteArray& r : data->data(kRowsMime).split(',')) {
      bool ok = false;
      const int n = r.toInt(&ok);
      if (ok && n >= 0 && n < count) rows.push_back(n);
    }
    if (rows.isEmpty()) return false;
    Q_EMIT RowsDropped(rows, at);
    // The rows are moved by the window, not removed by the view.
    return false;
  }
  QStringList paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile());
  if (paths.isEmpty()) return false;
  Q_EMIT PathsDropped(paths);
  return true;
}

void TPlayListModel::Reset() {
  beginResetModel();
  endResetModel();
}

void TPlayListModel::InfoChanged() {
  if (rowCount() > 0) Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::DisplayRole, kDurationRole});
}

void TPlayListModel::SetPlayingRow(int row) {
  if (row == playingRow_) return;
  const int old = playingRow_;
  playingRow_ = row;
  for (int r : {old, row})
    if (r >= 0 && r < rowCount()) Q_EMIT dataChanged(index(r), index(r), {Qt::FontRole, Qt::DecorationRole});
}

void TPlayListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QString duration = index.data(TPlayListModel::kDurationRole).toString();
  if (duration.isEmpty()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const int gap = opt.fontMetrics.horizontalAdvance(QLatin1Char(' ')) * 2;
  const int durationWidth = opt.fontMetrics.horizontalAdvance(duration) + gap;
  // The background and selection across the whole row, the text in the room left.
  QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
  style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
  QStyleOptionViewItem text = opt;
  text.rect.setRight(opt.rect.right() - durationWidth);
  text.backgroundBrush = Qt::NoBrush;
  text.state &= ~QStyle::State_HasFocus;
  style->drawControl(QStyle::CE_ItemViewItem, &text, painter, opt.widget);
  const QPalette::ColorRole role = (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
  painter->save();
  painter->setFont(opt.font);
  painter->setPen(opt.palette.color(QPalette::Normal, role));
  painter->drawText(opt.rect.adjusted(0, 0, -gap / 2, 0), Qt::AlignRight | Qt::AlignVCenter, duration);
  painter->restore();
}

TPlayListBox::TPlayListBox(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setTextElideMode(Qt::ElideRight);
  // Every row as high as the first: the view lays out 100,000 rows without asking each.
  setUniformItemSizes(true);
  // Rows as wide as the list, each elided to it: no row widens the list for the others.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrap(false);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
  setItemDelegate(new TPlayListDelegate(this));
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

QString TPlayListBox::RowDuration(int row) const {
  if (!model() || row < 0 || row >= Count()) return {};
  return model()->index(row, 0).data(TPlayListModel::kDurationRole).toString();
}
