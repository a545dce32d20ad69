// Closes a program's main window on requests from outside its own close box: a window
// manager's close while a modal box holds the window, and SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "common/main_loop.h"

class SignalPipe;

// Qt drops a close request for a window that a modal box blocks, so a close from the
// window manager (WM_DELETE_WINDOW on X11) would do nothing while any box is up. This
// object takes such a request itself: it closes the modal windows as their own Cancel
// or close box would, waits until their loops have returned to the code that opened
// them, and then closes the window, whose close handling runs as for any close.
// Create it on the GUI thread after the application object; it lives as long as the
// window or shorter.
class WindowCloser final : public QObject, public QAbstractNativeEventFilter {
 public:
  explicit WindowCloser(QWidget& window);
  ~WindowCloser() override;
  WindowCloser(const WindowCloser&) = delete;
  WindowCloser& operator=(const WindowCloser&) = delete;

  // Closes every modal window, then the window, from the event loop. A request while one
  // is under way joins it.
  void Request();
  // From now on SIGINT, SIGTERM and SIGHUP (the terminal the program was started from
  // went away) are a Request, caught on any thread and handled on the loop's thread.
  // Further signals join the first one's close.
  void CloseOnTerminationSignals(MainLoop& loop);
  // The first termination signal taken, 0 when none came.
  int TerminationSignal() const { return signal_; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CloseModalWindows();
  void CloseWhenUnblocked();

  QPointer<QWidget> window_;
  bool requested_ = false;
  int signal_ = 0;
  // The event-loop depth at which the outermost closed modal window was opened; the window
  // is closed once the loop is back at that depth.
  int openedAtLevel_ = 0;
  uint32_t protocolsAtom_ = 0;
  uint32_t deleteWindowAtom_ = 0;
  std::unique_ptr<SignalPipe> signals_;
  MainLoop* loop_ = nullptr;
  MainLoop::HandlerId watch_ = 0;
};
