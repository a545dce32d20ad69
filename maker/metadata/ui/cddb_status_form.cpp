// TCDDBStatusForm: the lookup's window, its log and its buttons.
#include "maker/metadata/ui/cddb_status_form.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QVBoxLayout>

TCDDBStatusForm::TCDDBStatusForm(MainLoop& loop, QWidget* parent) : QDialog(parent), loop_(loop) {
  setObjectName(QStringLiteral("CDDBStatusForm"));
  setWindowTitle(QStringLiteral("CDDB Status"));
  LogMemo = new QPlainTextEdit(this);
  ButtonsPanel = new QFrame(this);
  OKButton = new QPushButton(QStringLiteral("&OK"), ButtonsPanel);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), ButtonsPanel);
  LogMemo->setObjectName(QStringLiteral("LogMemo"));
  ButtonsPanel->setObjectName(QStringLiteral("ButtonsPanel"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  LogMemo->setReadOnly(true);
  LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  const QFontMetrics metrics(font());
  LogMemo->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('x')) * 60, metrics.lineSpacing() * 10);
  // A button that is not the default: Enter must not end a lookup the user is watching.
  OKButton->setAutoDefault(false);
  CancelButton->setAutoDefault(false);

  auto* buttons = new QHBoxLayout(ButtonsPanel);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LogMemo, 1);
  layout->addWidget(ButtonsPanel);

  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TCDDBStatusForm::CancelButtonClick);
}

// The thread is joined (the loop turning meanwhile) before the members it reports to go.
TCDDBStatusForm::~TCDDBStatusForm() { thread_.reset(); }

bool TCDDBStatusForm::Run(const CddbRequest& request, CddbOutputs& outputs) {
  if (thread_) return false;  // one lookup at a time
  LogMemo->clear();
  OKButton->setEnabled(false);
  CancelButton->setEnabled(false);
  if (QWidget* owner = parentWidget()) move(owner->frameGeometry().topLeft() + QPoint(20, 20));
  request_ = &request;
  exec();
  request_ = nullptr;
  // Closed by success, by OK after a failure or by Cancel: the thread may still be on its
  // way out (a cancel is seen within about 100 ms). Its outputs count only after it ended.
  bool succeeded = false;
  if (thread_) {
    thread_->Join();
    succeeded = thread_->Succeeded();
    if (succeeded) outputs = thread_->Outputs();
    thread_.reset();
  }
  return succeeded;
}

void TCDDBStatusForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The thread starts once the window is up, so that its first lines have a place to go.
  if (request_ && !thread_) {
    texts_ = ActiveMakerTexts();
    CddbStatusHost& host = *this;
    thread_ = std::make_unique<Worker<TCDDBThread>>(loop_, host, *request_);
    thread_->Start();
  }
}

void TCDDBStatusForm::CancelButtonClick() { reject(); }

void TCDDBStatusForm::reject() {
  CancelButton->setEnabled(false);
  if (thread_) thread_->Terminate();
  QDialog::reject();
}

void TCDDBStatusForm::AppendLog(const std::string& line) {
  LogMemo->appendPlainText(QString::fromStdString(texts_.Shown(line)));
}

void TCDDBStatusForm::SetOkEnabled(bool enabled) {
  OKButton->setEnabled(enabled);
  if (enabled) OKButton->setFocus();
}

void TCDDBStatusForm::SetCancelEnabled(bool enabled) { CancelButton->setEnabled(enabled); }

void TCDDBStatusForm::CloseWithOk() {
  if (isVisible()) accept();
}

// Several discs share the disc id: the user picks the one in the drive. Closing the
// chooser cancels the lookup, as Cancel does.
int TCDDBStatusForm::ChooseMatch(const std::vector<std::string>& matches) {
  QStringList items;
  for (const std::string& match : matches) items << QString::fromStdString(match);
  QInputDialog chooser(this);
  chooser.setObjectName(QStringLiteral("CddbMatchDialog"));
  chooser.setWindowTitle(QStringLiteral("CDDB Status"));
  chooser.setLabelText(QStringLiteral("Several discs match this CD. Choose the one in the drive:"));
  chooser.setComboBoxItems(items);
  chooser.setComboBoxEditable(false);
  chooser.setOption(QInputDialog::UseListViewForComboBoxItems);
  if (chooser.exec() != QDialog::Accepted) {
    reject();
    return -1;
  }
  const int choice = static_cast<int>(items.indexOf(chooser.textValue()));
  if (choice >= 0) AppendLog("Chosen: " + matches[static_cast<std::size_t>(choice)]);
  return choice < 0 ? 0 : choice;
}
