// Draws list rows whose columns are separated by tabs.
#include "maker/jobs/ui/tabbed_list_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextOption>

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
  layout.setTabStopDistance(tabWidth_ * item.fontMetrics.averageCharWidth() / 4.0);
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(item.font);
  painter->drawText(area, text, layout);
  painter->restore();
}
