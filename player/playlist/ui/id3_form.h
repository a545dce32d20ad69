// TID3Form: the modal "ID3 Tag" window, editing the ID3v1 tag of one or several play list
// entries: album, artist and year for all of them, the title for one, or each file's own
// name as its title.
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

class TID3Form : public QDialog {
  Q_OBJECT
 public:
  using ShowErrorFn = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  explicit TID3Form(QWidget* parent = nullptr);

  // The whole edit: Prepare, show modally, and on OK Apply.
  void Edit(const std::vector<std::string>& selected);
  // Fills the window for the selected entries (from the first one's tag).
  void Prepare(const std::vector<std::string>& selected);
  // Writes the tags from the fields; a file that cannot be written gets its message and
  // the others are still written.
  void Apply(const std::vector<std::string>& selected);
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
  QComboBox* GenreComboBox;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UseFNameAsSongNameCheckBoxClick();

  ShowErrorFn showError_;
};
