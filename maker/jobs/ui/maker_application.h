// MakerApplication: the maker's application object. An exception that escapes a window's
// handler is shown in the maker's error box, and the program goes on.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <utility>

class MakerApplication final : public QApplication {
 public:
  MakerApplication(int& argc, char** argv);
  ~MakerApplication() override;

  // Delivers `event` as QApplication does. An exception thrown while it is handled (a
  // control's handler, a worker's hand-over, a timer) ends that handler only: the text is
  // written to stderr and shown in the error box, and the event loop goes on. While one
  // such box is up, further failures go to stderr only, so that a handler that fails on
  // every repaint cannot bury the screen under boxes.
  bool notify(QObject* receiver, QEvent* event) override;

  // Reports a failed handler as notify does (stderr, then the error box); without a
  // MakerApplication (a tool that shows the windows) only on stderr.
  static void ReportHandlerFailure(const QString& text);

  // The box that shows a failed handler's text; replaceable by tests. The default opens a
  // window-modal error box over the active window without waiting for it.
  std::function<void(const QString& text)> showHandlerError;

  // The error box of the last failure while it is up, else null.
  QMessageBox* HandlerErrorBox() const { return box_; }

 private:
  void HandlerFailed(const QString& text);

  QPointer<QMessageBox> box_;
  bool boxPending_ = false;  // a box is queued for the loop
};

// Wraps a window's handler so that an exception it throws is reported (ReportHandlerFailure)
// where it is thrown, before it unwinds through Qt's own frames: Qt's widget code is built
// without exception clean-up, so an exception that crosses it (as one caught in notify
// does) leaks the event copies and guards of those frames.
template <typename Handler>
auto GuardedHandler(Handler handler) {
  return [handler = std::move(handler)]() mutable {
    try {
      handler();
    } catch (const std::exception& e) {
      MakerApplication::ReportHandlerFailure(QString::fromUtf8(e.what()));
    } catch (...) {
      MakerApplication::ReportHandlerFailure(QString());
    }
  };
}
