// TAboutForm: the maker's About window: the version and the outside encoder libraries.
#pragma once

#include <QDialog>
#include <QLabel>

namespace maker {

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget* parent = nullptr);

  QLabel* ProductLabel;
  QLabel* VersionLabel;
  QLabel* LibrariesLabel;
  QLabel* CloseLabel;

 protected:
  void showEvent(QShowEvent* event) override;
  // Any key closes the window, and so does a click.
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace maker
