// Closing the main window from outside while modal boxes are up.
#include "common/ui/window_closer.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "common/signal_pipe.h"

namespace {

// Set on every modal window when it is shown: the depth of the event loops at that time.
constexpr const char* kOpenedAtLevel = "zimbarModalLoopLevel";

int LoopLevel() { return QThread::currentThread()->loopLevel(); }

uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (reply == nullptr) return 0;
  const uint32_t atom = reply->atom;
  std::free(reply);
  return atom;
}

}  // namespace

WindowCloser::WindowCloser(QWidget& window) : window_(&window) {
  qApp->installEventFilter(this);
  // Only the X11 platform delivers the window manager's close as a client message (the
  // offscreen platform may offer the X11 interface too, without a connection).
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (QGuiApplication::platformName() == QLatin1String("xcb") && x11 != nullptr && x11->connection() != nullptr) {
    protocolsAtom_ = InternAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindowAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (protocolsAtom_ != 0 && deleteWindowAtom_ != 0) qApp->installNativeEventFilter(this);
  }
}

WindowCloser::~WindowCloser() {
  if (loop_ != nullptr) loop_->Unwatch(watch_);
  qApp->removeNativeEventFilter(this);
  qApp->removeEventFilter(this);
}

void WindowCloser::CloseOnTerminationSignals(MainLoop& loop) {
  if (signals_) return;
  signals_ = std::make_unique<SignalPipe>(std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP});
  if (signals_->ReadFd() < 0) return;
  loop_ = &loop;
  watch_ = loop.WatchReadable(signals_->ReadFd(), [this] {
    while (const int number = signals_->TakeSignal()) {
      if (signal_ == 0) signal_ = number;
      Request();
    }
  });
}

bool WindowCloser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow() && widget->isModal()) widget->setProperty(kOpenedAtLevel, LoopLevel());
  }
  return false;
}

bool WindowCloser::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || window_ == nullptr) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  if (client->format != 32 || client->type != protocolsAtom_ || client->data.data32[0] != deleteWindowAtom_) return false;
  if (client->window != window_->internalWinId()) return false;
  // Without a modal window Qt delivers the close itself.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == window_) return false;
  Request();
  return true;
}

void WindowCloser::Request() {
  if (window_ == nullptr || requested_) return;
  requested_ = true;
  openedAtLevel_ = INT_MAX;
  CloseModalWindows();
  QTimer::singleShot(0, this, [this] { CloseWhenUnblocked(); });
}

void WindowCloser::CloseModalWindows() {
  // Inner boxes first; each close lets the next outer one become the active modal window.
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == window_) return;
    const QVariant level = modal->property(kOpenedAtLevel);
    // A box shown before this object existed was opened, at the latest, one loop further out.
    openedAtLevel_ = std::min(openedAtLevel_, level.isValid() ? level.toInt() : std::max(0, LoopLevel() - 1));
    modal->close();
    // A box without a way to cancel it ignores the close; it is taken down all the same.
    if (modal->isVisible()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
    if (modal->isVisible()) modal->hide();
  }
}

void WindowCloser::CloseWhenUnblocked() {
  if (window_ == nullptr) return;
  // A box may have opened another one meanwhile, and the code that opened a closed box
  // has to finish before the window's close (which may wait for workers) runs.
  CloseModalWindows();
  if (QApplication::activeModalWidget() != nullptr || LoopLevel() > openedAtLevel_) {
    QTimer::singleShot(10, this, [this] { CloseWhenUnblocked(); });
    return;
  }
  // The window's close may wait for workers with the loop turning; requests meanwhile
  // join this one.
  window_->close();
  requested_ = false;
}
