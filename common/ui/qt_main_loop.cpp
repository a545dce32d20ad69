// QtMainLoop: queued and blocking-queued calls, descriptor watches, timers and nested
// waits on the GUI thread.
#include "common/ui/qt_main_loop.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

namespace {

// How often a nested wait looks at its condition when no event arrives: a flag set by
// another thread without a post is seen this late at most.
constexpr std::chrono::milliseconds kRunUntilPoll{5};

}  // namespace

QtMainLoop::QtMainLoop() : receiver_(new QObject) {}

QtMainLoop::~QtMainLoop() { delete receiver_; }  // deletes the notifiers and timers with it

void QtMainLoop::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(receiver_, std::move(fn), Qt::QueuedConnection);
}

void QtMainLoop::InvokeBlocking(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(receiver_, std::move(fn), Qt::BlockingQueuedConnection);
}

bool QtMainLoop::IsMainThread() const { return QThread::currentThread() == receiver_->thread(); }

MainLoop::HandlerId QtMainLoop::WatchReadable(int fd, std::function<void()> onReadable) {
  const HandlerId id = nextId_++;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, receiver_);
  QObject::connect(notifier, &QSocketNotifier::activated, receiver_, [fn = std::move(onReadable)] { fn(); });
  watches_[id] = notifier;
  return id;
}

void QtMainLoop::Unwatch(HandlerId id) {
  const auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second->setEnabled(false);
  it->second->deleteLater();
  watches_.erase(it);
}

MainLoop::HandlerId QtMainLoop::StartTimer(std::chrono::milliseconds interval, bool repeat,
                                           std::function<void()> fn) {
  const HandlerId id = nextId_++;
  auto* timer = new QTimer(receiver_);
  timer->setSingleShot(!repeat);
  timer->setInterval(interval);
  QObject::connect(timer, &QTimer::timeout, receiver_, [this, id, repeat, fn = std::move(fn)] {
    // A one-shot timer is gone once it has fired; the handler may start new ones.
    if (!repeat) StopTimer(id);
    fn();
  });
  timers_[id] = timer;
  timer->start();
  return id;
}

void QtMainLoop::StopTimer(HandlerId id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
}

bool QtMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    QEventLoop loop;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    QTimer::singleShot(std::min(kRunUntilPoll, std::max(left, std::chrono::milliseconds{1})), &loop,
                       &QEventLoop::quit);
    loop.exec();
  }
  return true;
}
