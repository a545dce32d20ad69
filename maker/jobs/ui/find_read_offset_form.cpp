// The progress window of Find Read Offset.
#include "maker/jobs/ui/find_read_offset_form.h"

#include <QCloseEvent>
#include <QVBoxLayout>

TFindReadOffsetForm::TFindReadOffsetForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindReadOffsetForm"));
  StageLabel = new QLabel(this);
  StageLabel->setObjectName(QStringLiteral("StageLabel"));
  StageLabel->setMinimumWidth(360);
  BusyBar = new QProgressBar(this);
  BusyBar->setObjectName(QStringLiteral("BusyBar"));
  // How long the lookup and the reads take is not known up front: a busy bar.
  BusyBar->setRange(0, 0);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StageLabel);
  layout->addWidget(BusyBar);
  layout->addLayout(buttons);
  connect(CancelButton, &QPushButton::clicked, this, &TFindReadOffsetForm::CancelButtonClick);
}

void TFindReadOffsetForm::CancelButtonClick() {
  if (cancelAsked_) return;
  cancelAsked_ = true;
  CancelButton->setEnabled(false);
  Q_EMIT cancelAsked();
}

// Escape cancels the search; the window goes when the search has ended.
void TFindReadOffsetForm::reject() { CancelButtonClick(); }

void TFindReadOffsetForm::closeEvent(QCloseEvent* event) {
  CancelButtonClick();
  event->ignore();
}
