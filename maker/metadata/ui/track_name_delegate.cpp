// TrackNameDelegate: the in-place editor of a track row's name.
#include "maker/metadata/ui/track_name_delegate.h"

#include <QLineEdit>

#include "maker/metadata/cd_info.h"

QWidget* TrackNameDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (editor) ++editors_;
  return editor;
}

void TrackNameDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
  if (editor && editors_ > 0) --editors_;
  QStyledItemDelegate::destroyEditor(editor, index);
}

void TrackNameDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit) {
    QStyledItemDelegate::setEditorData(editor, index);
    return;
  }
  edit->setText(QString::fromStdString(CdTrackRowName(index.data(Qt::EditRole).toString().toStdString())));
  edit->selectAll();
}

void TrackNameDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit) {
    QStyledItemDelegate::setModelData(editor, model, index);
    return;
  }
  QString name = edit->text();
  name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  model->setData(index, QString::fromStdString(CdTrackRow(index.row() + 1, name.toStdString())), Qt::EditRole);
}
