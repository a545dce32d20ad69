// Draws list rows whose columns are separated by tabs, at fixed tab stops.
#pragma once

#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTextOption>

class QFontMetrics;

// A track row's verification (what proves its rip), kept beside the row's text and drawn
// at the row's right end: the words as shown, and how they rate the rip. The rating only
// colours the words; the words say it on their own.
inline constexpr int kVerificationTextRole = Qt::UserRole + 1;
inline constexpr int kVerificationRatingRole = Qt::UserRole + 2;
enum class VerificationRating { Neutral = 0, Proven = 1, Doubtful = 2 };

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

  // Where a row's verification is drawn in a row whose text area is `area`: at its right
  // end, as wide as its words (at most half the area); empty for a row without one.
  static QRect VerificationArea(const QRect& area, const QFontMetrics& metrics, const QString& verification);

  // A row cut short shows its whole last column as its tooltip; a verification cut short
  // shows its words.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  int tabWidth_;
  QStringList firstColumn_;
};
