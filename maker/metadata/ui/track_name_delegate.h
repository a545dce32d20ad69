// TrackNameDelegate: edits a track row of the CD window in place. The row reads
// " 07\tName"; the editor shows and changes the name alone.
#pragma once

#include <QStyledItemDelegate>

class TrackNameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The editor gets the row's name (the text after the first tab), all of it selected.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  // The row becomes " %02i\t<name>" for its 1-based track; line breaks typed or pasted
  // into the name become blanks (a name is one row).
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
  // True while an editor is open: the key that ends the edit reaches the list after the
  // editor, and must not act there too.
  bool Editing() const { return editors_ > 0; }

 private:
  mutable int editors_ = 0;
};
