// Draws list rows whose columns are separated by tabs, at fixed tab stops.
#pragma once

#include <QStyledItemDelegate>

class TabbedListDelegate : public QStyledItemDelegate {
 public:
  // Tab stops every `tabWidth` dialog units (a quarter of the font's average character width
  // each), as the rows' columns were laid out for.
  TabbedListDelegate(int tabWidth, QObject* parent) : QStyledItemDelegate(parent), tabWidth_(tabWidth) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int tabWidth_;
};
