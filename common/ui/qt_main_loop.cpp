// QtMainLoop: queued and blocking-queued calls on the GUI thread.
#include "common/ui/qt_main_loop.h"

#include <QMetaObject>
#include <QThread>

QtMainLoop::QtMainLoop() : receiver_(new QObject) {}

QtMainLoop::~QtMainLoop() { delete receiver_; }

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
