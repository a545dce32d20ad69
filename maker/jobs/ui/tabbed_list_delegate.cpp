// Draws list rows whose columns are separated by tabs.
#include "maker/jobs/ui/tabbed_list_delegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTextOption>
#include <algorithm>

void TabbedListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();
  QStyle* style = item.widget ? item.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

  const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget).adjusted(2, 0, -2, 0);
  QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabs(TabStops(item.fontMetrics));
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(item.font);
  painter->drawText(area, text, layout);
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
