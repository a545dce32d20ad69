// Draws list rows whose columns are separated by tabs, at fixed tab stops.
#pragma once

#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTextOption>

class QFontMetrics;

class TabbedListDelegate : public QStyledItemDelegate {
 public:
  // Tab stops every `tabWidth` dialog units (a quarter of the font's average character
  // width each), as the rows' columns were laid out for; the first column is wider where
  // one of `firstColumn` (the words it can hold) needs it, with a gap of two average
  // characters, so that no word runs into the next column ("CancelledTrack 03").
  TabbedListDelegate(int tabWidth, QStringList firstColumn, QObject* parent)
      : QStyledItemDelegate(parent), tabWidth_(tabWidth), firstColumn_(std::move(firstColumn)) {}

  // The words of the first column, in the window's language.
  void SetFirstColumn(QStringList firstColumn) { firstColumn_ = std::move(firstColumn); }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The tab stops for text in the font of `metrics`, in pixels from the text's start.
  QList<QTextOption::Tab> TabStops(const QFontMetrics& metrics) const;

  // The row as drawn in `width` pixels: a last column too long for its room (a path)
  // loses its middle to an ellipsis.
  QString Fitted(const QString& text, const QFontMetrics& metrics, int width) const;

  // A row cut short shows its whole last column as its tooltip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  int tabWidth_;
  QStringList firstColumn_;
};
