// TAskLineForm: a small modal prompt for one line of text (Add URL). The caller sets the
// caption and the instruction; the edit keeps its text from one use to the next.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

class TAskLineForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAskLineForm(QWidget* parent = nullptr);

  // Shows the prompt modally; the typed line after OK, nothing after Cancel.
  std::optional<QString> Ask(const QString& caption, const QString& instruction);

  QLabel* InstructionLabel;
  QLineEdit* LineEdit;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};
