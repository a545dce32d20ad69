// TID3Form: the modal "ID3 Tag" window, editing the tags of one or several play list
// entries: album, artist, year, track number, genre and comment for all of them, the
// title for one, or each file's own name as its title. Only the fields the user changed
// are written.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "player/playlist/tag_edit.h"

class TID3Form : public QDialog {
  Q_OBJECT
 public:
  using ShowErrorFn = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  explicit TID3Form(QWidget* parent = nullptr);

  // The whole edit: Prepare, show modally, and on OK Apply.
  void Edit(const std::vector<std::string>& selected);
  // Fills the window for the selected entries (from the first one's tag).
  void Prepare(const std::vector<std::string>& selected);
  // Writes the fields changed since Prepare; a file that cannot be written gets its
  // message and the others are still written.
  void Apply(const std::vector<std::string>& selected);
  // The fields changed since Prepare.
  TagEditValues Values() const;
  // Tests replace the message box.
  void SetShowError(ShowErrorFn showError) { showError_ = std::move(showError); }

  QLabel* InstructionLabel;
  QCheckBox* UseFNameAsSongNameCheckBox;
  QLabel* SongLabel;
  QLineEdit* SongEdit;
  QLabel* TitleLabel;
  QLineEdit* TitleEdit;
  QLabel* ArtistLabel;
  QLineEdit* ArtistEdit;
  QLabel* YearLabel;
  QLineEdit* YearEdit;
  QLabel* TrackLabel;
  QLineEdit* TrackEdit;
  QLabel* GenreLabel;
  QComboBox* GenreComboBox;
  QLabel* CommentLabel;
  QLineEdit* CommentEdit;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  void showEvent(QShowEvent* event) override;
  // OK with a year or track number that is not a number says so and stays open.
  void accept() override;

 private:
  void UseFNameAsSongNameCheckBoxClick();

  ShowErrorFn showError_;
  TagEditFields shown_;  // what Prepare put into the fields
};
