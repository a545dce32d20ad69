// TCDDBStatusForm: the modal CDDB status window. It runs one lookup on a TCDDBThread
// while its log shows the stages, and closes by itself when the lookup succeeds.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "common/worker_thread.h"
#include "maker/metadata/cddb_thread.h"
#include "maker/settings/maker_texts.h"

class TCDDBStatusForm : public QDialog, private CddbStatusHost {
  Q_OBJECT
 public:
  // `loop` runs on this thread (a QtMainLoop); it carries the thread's log lines here.
  explicit TCDDBStatusForm(MainLoop& loop, QWidget* parent = nullptr);
  ~TCDDBStatusForm() override;

  // Shows the window modally, 20 pixels right of and below its parent, and runs the
  // lookup. True when it succeeded: `outputs` then describes the disc. After a failure
  // (the log says why, OK closes) or Cancel, false, and `outputs` is left as it was.
  bool Run(const CddbRequest& request, CddbOutputs& outputs);
  // True while a lookup runs behind the window.
  bool Busy() const { return thread_ != nullptr; }

  QPlainTextEdit* LogMemo;
  QFrame* ButtonsPanel;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // Cancel, Escape and the window's close button: stop the lookup and close.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CancelButtonClick();

  void AppendLog(const std::string& line) override;
  void SetOkEnabled(bool enabled) override;
  void SetCancelEnabled(bool enabled) override;
  void CloseWithOk() override;
  int ChooseMatch(const std::vector<std::string>& matches) override;

  MainLoop& loop_;
  const CddbRequest* request_ = nullptr;  // during Run
  MakerTexts texts_;  // the lookup's lines in the windows' language, read as the window shows
  std::unique_ptr<Worker<TCDDBThread>> thread_;
};
