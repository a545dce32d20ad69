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

  QRect area = TextArea(item);
  const QString verification = index.data(kVerificationTextRole).toString();
  const QRect verificationArea = VerificationArea(area, item.fontMetrics, verification);
  if (!verificationArea.isEmpty()) area.setRight(verificationArea.left() - 2 * item.fontMetrics.averageCharWidth());
  QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabs(TabStops(item.fontMetrics));
  painter->save();
  const bool selected = item.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(item.font);
  painter->drawText(area, Fitted(text, item.fontMetrics, area.width()), layout);
  if (!verificationArea.isEmpty()) {
    // Green for a proven rip, red for one in doubt; a selected row keeps the selection's
    // text colour, so that the words stay readable on the highlight.
    const auto rating = VerificationRating(index.data(kVerificationRatingRole).toInt());
    if (!selected && group == QPalette::Normal && rating != VerificationRating::Neutral)
      painter->setPen(rating == VerificationRating::Proven ? QColor(0, 128, 0) : QColor(192, 0, 0));
    painter->drawText(verificationArea, Qt::AlignRight | Qt::AlignVCenter,
                      item.fontMetrics.elidedText(verification, Qt::ElideRight, verificationArea.width()));
  }
  painter->restore();
}

QRect TabbedListDelegate::VerificationArea(const QRect& area, const QFontMetrics& metrics, const QString& verification) {
  if (verification.isEmpty()) return {};
  const int width = std::min(metrics.horizontalAdvance(verification), area.width() / 2);
  return QRect(area.right() - width + 1, area.top(), width, area.height());
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
  QRect area = TextArea(item);
  const QString verification = index.data(kVerificationTextRole).toString();
  if (const QRect verificationArea = VerificationArea(area, item.fontMetrics, verification); !verificationArea.isEmpty()) {
    if (verificationArea.contains(event->pos())) {
      QToolTip::showText(event->globalPos(), verification, view);
      return true;
    }
    area.setRight(verificationArea.left() - 2 * item.fontMetrics.averageCharWidth());
  }
  if (Fitted(text, item.fontMetrics, area.width()) == text)
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  // A row cut short shows its last column, the whole path or name, as its tooltip.
  const qsizetype tab = text.lastIndexOf(QLatin1Char('\t'));
  QToolTip::showText(event->globalPos(), tab < 0 ? text : text.mid(tab + 1), view);
  return true;
}
