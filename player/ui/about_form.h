// TAboutForm: the small fixed "About zbplayer" window with the player's version.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace player {

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget* parent = nullptr);

  QLabel* ProductLabel;
  QLabel* VersionLabel;
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace player
