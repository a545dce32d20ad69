// TAskLineForm: the line prompt and its size rule.
#include "player/playlist/ui/ask_line_form.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>

TAskLineForm::TAskLineForm(QWidget* parent) : QDialog(parent) {
  InstructionLabel = new QLabel(this);
  LineEdit = new QLineEdit(this);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  InstructionLabel->setObjectName(QStringLiteral("InstructionLabel"));
  LineEdit->setObjectName(QStringLiteral("LineEdit"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  OKButton->setDefault(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(InstructionLabel);
  layout->addWidget(LineEdit);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // Enter in the edit closes with OK (the default button); Escape cancels (QDialog).
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> TAskLineForm::Ask(const QString& caption, const QString& instruction) {
  setWindowTitle(caption);
  InstructionLabel->setText(instruction);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return LineEdit->text();
}

void TAskLineForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TAskLineForm::FormShow() {
  const int width = 5 * QFontMetrics(InstructionLabel->font()).horizontalAdvance(QStringLiteral("1234567890"));
  InstructionLabel->setFixedWidth(width);
  LineEdit->setFixedWidth(width);
  LineEdit->setFocus();
  LineEdit->selectAll();
}
