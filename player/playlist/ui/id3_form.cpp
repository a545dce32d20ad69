// TID3Form: filling the fields, the song field's rules and writing the tags.
#include "player/playlist/ui/id3_form.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>

#include <algorithm>

#include "common/tags/id3v2_tag.h"
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
  TrackLabel = new QLabel(QStringLiteral("Track Number:"), this);
  TrackEdit = new QLineEdit(this);
  GenreLabel = new QLabel(QStringLiteral("Genre:"), this);
  GenreComboBox = new QComboBox(this);
  // A genre of the list or any other text.
  GenreComboBox->setEditable(true);
  GenreComboBox->setInsertPolicy(QComboBox::NoInsert);
  GenreComboBox->addItem(QString());
  for (const std::string& genre : Id3GenreNames()) GenreComboBox->addItem(QString::fromStdString(genre));
  CommentLabel = new QLabel(QStringLiteral("Comment:"), this);
  CommentEdit = new QLineEdit(this);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  OKButton->setDefault(true);
  const std::pair<QWidget*, const char*> names[] = {
      {InstructionLabel, "InstructionLabel"}, {UseFNameAsSongNameCheckBox, "UseFNameAsSongNameCheckBox"},
      {SongLabel, "SongLabel"}, {SongEdit, "SongEdit"}, {TitleLabel, "TitleLabel"}, {TitleEdit, "TitleEdit"},
      {ArtistLabel, "ArtistLabel"}, {ArtistEdit, "ArtistEdit"}, {YearLabel, "YearLabel"}, {YearEdit, "YearEdit"},
      {TrackLabel, "TrackLabel"}, {TrackEdit, "TrackEdit"}, {GenreLabel, "GenreLabel"},
      {GenreComboBox, "GenreComboBox"}, {CommentLabel, "CommentLabel"}, {CommentEdit, "CommentEdit"}, {OKButton, "OKButton"}, {CancelButton, "CancelButton"}};
  for (const auto& [widget, name] : names) widget->setObjectName(QLatin1String(name));

  // The edits are as wide as forty digits and a little more. They take texts of any
  // length: the ID3v2 tag keeps them whole, only the ID3v1 copy is cut to its fields.
  const int editWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("1234567890123456789012345678901234567890")) +
                        QFontMetrics(font()).height();
  for (QLineEdit* edit : {SongEdit, TitleEdit, ArtistEdit, YearEdit, TrackEdit, CommentEdit}) {
    edit->setMinimumWidth(editWidth);
    // Enter in any of the edits closes with OK.
    connect(edit, &QLineEdit::returnPressed, this, &TID3Form::accept);
  }
  GenreComboBox->setMinimumWidth(editWidth);

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
  rows->addWidget(TrackLabel, 4, 0);
  rows->addWidget(TrackEdit, 4, 1);
  rows->addWidget(GenreLabel, 5, 0);
  rows->addWidget(GenreComboBox, 5, 1);
  rows->addWidget(CommentLabel, 6, 0);
  rows->addWidget(CommentEdit, 6, 1);
  layout->addLayout(rows);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(UseFNameAsSongNameCheckBox, &QCheckBox::clicked, this, &TID3Form::UseFNameAsSongNameCheckBoxClick);
  connect(OKButton, &QPushButton::clicked, this, &TID3Form::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  showError_ = [](QWidget* p, const QString& caption, const QString& text) { QMessageBox::critical(p, caption, text); };
}

void TID3Form::Prepare(const std::vector<std::string>& selected) {
  shown_ = selected.empty() ? TagEditFields{} : ReadFieldsForEditing(selected.front());
  InstructionLabel->setText(QString::fromStdString(TagEditInstruction(selected)));
  SongEdit->setText(QString::fromStdString(shown_.title));
  TitleEdit->setText(QString::fromStdString(shown_.album));
  ArtistEdit->setText(QString::fromStdString(shown_.artist));
  YearEdit->setText(QString::fromStdString(shown_.year));
  TrackEdit->setText(QString::fromStdString(shown_.trackNumber));
  GenreComboBox->setCurrentText(QString::fromStdString(shown_.genre));
  CommentEdit->setText(QString::fromStdString(shown_.comment));
  // Track number, genre and comment are not in an ID3v1 record: offered when a selected
  // file has tags that hold them (an MP3 file's ID3v2 tag, the Vorbis comments or MP4
  // atoms of FLAC, Ogg and M4A files).
  const bool anyFullTag = std::any_of(selected.begin(), selected.end(), HoldsAllTagFields);
  for (QWidget* w : std::initializer_list<QWidget*>{TrackLabel, TrackEdit, GenreLabel, GenreComboBox, CommentLabel, CommentEdit})
    w->setEnabled(anyFullTag);
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

namespace {

// The text when it differs from what was shown, else none.
std::optional<std::string> Changed(const QString& text, const std::string& shown) {
  std::string now = text.toStdString();
  if (now == shown) return std::nullopt;
  return now;
}

}  // namespace

TagEditValues TID3Form::Values() const {
  TagEditValues values;
  values.song = Changed(SongEdit->text(), shown_.title);
  values.album = Changed(TitleEdit->text(), shown_.album);
  values.artist = Changed(ArtistEdit->text(), shown_.artist);
  // Spaces around a year or a track number are not part of it.
  values.year = Changed(YearEdit->text().trimmed(), shown_.year);
  values.trackNumber = Changed(TrackEdit->text().trimmed(), shown_.trackNumber);
  values.genre = Changed(GenreComboBox->currentText(), shown_.genre);
  values.comment = Changed(CommentEdit->text(), shown_.comment);
  values.useFileName = UseFNameAsSongNameCheckBox->isChecked();
  return values;
}

void TID3Form::accept() {
  if (const std::string refused = RefusedTagEditValues(Values()); !refused.empty()) {
    showError_(this, QStringLiteral("Error"), QString::fromStdString(refused));
    return;
  }
  QDialog::accept();
}

void TID3Form::Apply(const std::vector<std::string>& selected) {
  const TagEditValues values = Values();
  if (!RefusedTagEditValues(values).empty()) return;
  for (const std::string& message : WriteTags(selected, values))
    showError_(this, QStringLiteral("Error"), QString::fromStdString(message));
}

void TID3Form::Edit(const std::vector<std::string>& selected) {
  Prepare(selected);
  if (exec() == QDialog::Accepted) Apply(selected);
}
