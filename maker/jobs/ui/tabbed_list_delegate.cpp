// Draws list rows whose columns are separated by tabs.
#include "maker/jobs/ui/tabbed_list_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QTextOption>
#include <QToolTip>
#include <algorithm>

namespace {

// The text area of a row: where its columns are drawn. A list view makes a row as wide as
// the row's own text measured without tab stops, so the room ends at the view's visible
// edge instead.
QRect TextArea(const QStyleOptionViewItem& item) {
  QStyle* style = item.widget ? item.widget->style() : QApplication::style();
  QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget).adjusted(2, 0, -2, 0);
  if (const auto* view = qobject_cast<const QAbstractItemView*>(item.widget))
    area.setRight(view->viewport()->rect().right() - 2);
  return area;
}

}  // namespace

void TabbedListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();
  QStyle* style = item.widget ? item.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

  const QRect area = TextArea(item);
  QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabs(TabStops(item.fontMetrics));
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(item.font);
  painter->drawText(area, Fitted(text, item.fontMetrics, area.width()), layout);
  painter->restore();
}

QList<QTextOption::Tab> TabbedListDelegate::TabStops(const QFontMetrics& metrics) const {
  const qreal step = tabWidth_ * metrics.averageCharWidth() / 4.0;
  qreal widest = 0;
  for (const QString& word : firstColumn_) widest = std::max<qreal>(widest, metrics.horizontalAdvance(word));
  const qreal first = std::max(step, widest + 2 * metrics.averageCharWidth());
  QList<QTextOption::Tab> stops;
  // Rows have four columns at most; the stops beyond are for a name that holds a tab.
  for (int column = 0; column < 8; ++column) stops.append(QTextOption::Tab(first + column * step, QTextOption::LeftTab));
  return stops;
}

QString TabbedListDelegate::Fitted(const QString& text, const QFontMetrics& metrics, int width) const {
  const qsizetype tab = text.lastIndexOf(QLatin1Char('\t'));
  const QString last = tab < 0 ? text : text.mid(tab + 1);
  // Where the last column starts: at the tab stop its tab jumps to (the columns before it
  // are short words and numbers that fit their stops).
  const qsizetype tabs = text.count(QLatin1Char('\t'));
  const QList<QTextOption::Tab> stops = TabStops(metrics);
  const int start = tabs == 0 ? 0 : int(stops[std::min<qsizetype>(tabs, stops.size()) - 1].position);
  const int room = width - start;
  if (metrics.horizontalAdvance(last) <= room) return text;
  // A long path keeps its start and its end, the part that tells files apart.
  return (tab < 0 ? QString() : text.left(tab + 1)) + metrics.elidedText(last, Qt::ElideMiddle, std::max(room, 0));
}

bool TabbedListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) {
  if (!event || !view || event->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(event, view, option, index);
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  if (Fitted(text, item.fontMetrics, TextArea(item).width()) == text)
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  // A row cut short shows its last column, the whole path, as its tooltip.
  const qsizetype tab = text.lastIndexOf(QLatin1Char('\t'));
  QToolTip::showText(event->globalPos(), tab < 0 ? text : text.mid(tab + 1), view);
  return true;
}
