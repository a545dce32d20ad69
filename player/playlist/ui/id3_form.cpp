// TID3Form: filling the fields, the song field's rules and writing the tags.
#include "player/playlist/ui/id3_form.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>

#include "player/playlist/tag_edit.h"

TID3Form::TID3Form(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("ID3 Tag"));
  InstructionLabel = new QLabel(this);
  UseFNameAsSongNameCheckBox = new QCheckBox(QStringLiteral("Use File Name as Track/Song Name"), this);
  SongLabel = new QLabel(QStringLiteral("Track/Song Name:"), this);
  SongEdit = new QLineEdit(this);
  TitleLabel = new QLabel(QStringLiteral("CD/Album Title"), this);
  TitleEdit = new QLineEdit(this);
  ArtistLabel = new QLabel(QStringLiteral("Artist:"), this);
  ArtistEdit = new QLineEdit(this);
  YearLabel = new QLabel(QStringLiteral("Year:"), this);
  YearEdit = new QLineEdit(this);
  GenreComboBox = new QComboBox(this);
  GenreComboBox->hide();
  GenreComboBox->setEnabled(false);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  OKButton->setDefault(true);
  const std::pair<QWidget*, const char*> names[] = {
      {InstructionLabel, "InstructionLabel"}, {UseFNameAsSongNameCheckBox, "UseFNameAsSongNameCheckBox"},
      {SongLabel, "SongLabel"}, {SongEdit, "SongEdit"}, {TitleLabel, "TitleLabel"}, {TitleEdit, "TitleEdit"},
      {ArtistLabel, "ArtistLabel"}, {ArtistEdit, "ArtistEdit"}, {YearLabel, "YearLabel"}, {YearEdit, "YearEdit"},
      {GenreComboBox, "GenreComboBox"}, {OKButton, "OKButton"}, {CancelButton, "CancelButton"}};
  for (const auto& [widget, name] : names) widget->setObjectName(QLatin1String(name));

  // The edits are as wide as forty digits and a little more: the widest text the record takes.
  const int editWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("1234567890123456789012345678901234567890")) +
                        QFontMetrics(font()).height();
  for (QLineEdit* edit : {SongEdit, TitleEdit, ArtistEdit, YearEdit}) {
    edit->setMinimumWidth(editWidth);
    // Enter in any of the four edits closes with OK.
    connect(edit, &QLineEdit::returnPressed, this, &QDialog::accept);
  }
  SongEdit->setMaxLength(30);
  TitleEdit->setMaxLength(30);
  ArtistEdit->setMaxLength(30);
  YearEdit->setMaxLength(4);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(InstructionLabel);
  layout->addWidget(UseFNameAsSongNameCheckBox);
  auto* rows = new QGridLayout;
  rows->addWidget(SongLabel, 0, 0);
  rows->addWidget(SongEdit, 0, 1);
  rows->addWidget(TitleLabel, 1, 0);
  rows->addWidget(TitleEdit, 1, 1);
  rows->addWidget(ArtistLabel, 2, 0);
  rows->addWidget(ArtistEdit, 2, 1);
  rows->addWidget(YearLabel, 3, 0);
  rows->addWidget(YearEdit, 3, 1);
  layout->addLayout(rows);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(UseFNameAsSongNameCheckBox, &QCheckBox::clicked, this, &TID3Form::UseFNameAsSongNameCheckBoxClick);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  showError_ = [](QWidget* p, const QString& caption, const QString& text) { QMessageBox::critical(p, caption, text); };
}

void TID3Form::Prepare(const std::vector<std::string>& selected) {
  const Id3v1Tag tag = selected.empty() ? Id3v1Tag{} : ReadTagForEditing(selected.front());
  InstructionLabel->setText(QString::fromStdString(TagEditInstruction(selected)));
  SongEdit->setText(QString::fromStdString(tag.title));
  TitleEdit->setText(QString::fromStdString(tag.album));
  ArtistEdit->setText(QString::fromStdString(tag.artist));
  YearEdit->setText(QString::fromStdString(tag.year));
  const bool one = selected.size() == 1;
  SongLabel->setVisible(one);
  SongEdit->setVisible(one);
  UseFNameAsSongNameCheckBoxClick();
}

void TID3Form::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Typing starts in the first field that takes text.
  QLineEdit* first = SongEdit->isVisibleTo(this) && SongEdit->isEnabled() ? SongEdit : TitleEdit;
  first->setFocus();
  first->selectAll();
}

void TID3Form::UseFNameAsSongNameCheckBoxClick() { SongEdit->setEnabled(!UseFNameAsSongNameCheckBox->isChecked()); }

void TID3Form::Apply(const std::vector<std::string>& selected) {
  TagEditValues values;
  values.song = SongEdit->text().toStdString();
  values.album = TitleEdit->text().toStdString();
  values.artist = ArtistEdit->text().toStdString();
  values.year = YearEdit->text().toStdString();
  values.useFileName = UseFNameAsSongNameCheckBox->isChecked();
  for (const std::string& message : WriteTags(selected, values))
    showError_(this, QStringLiteral("Error"), QString::fromStdString(message));
}

void TID3Form::Edit(const std::vector<std::string>& selected) {
  Prepare(selected);
  if (exec() == QDialog::Accepted) Apply(selected);
}
