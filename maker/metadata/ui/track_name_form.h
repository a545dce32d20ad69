// TTrackNameForm: the prompt that edits the name of one track of the CD window.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <string>

class TTrackNameForm : public QDialog {
  Q_OBJECT
 public:
  explicit TTrackNameForm(QWidget* parent = nullptr);

  // Asks for the name of 1-based track `track`, starting from `current`; opens 20 pixels
  // right of and below its parent. The typed name after OK, nothing after Cancel.
  std::optional<std::string> Ask(int track, const std::string& current);

  QLabel* TrackNameLabel;
  QLineEdit* TrackNameEdit;
  QPushButton* OKButton;
  QPushButton* CancelButton;
};
