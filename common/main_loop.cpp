// QueueMainLoop: the main loop of the terminal front end and of the tests.
#include "common/main_loop.h"

#include <algorithm>
#include <future>

QueueMainLoop::QueueMainLoop() : mainThread_(std::this_thread::get_id()) {}

void QueueMainLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  wake_.notify_all();
}

void QueueMainLoop::InvokeBlocking(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  std::promise<void> ran;
  std::future<void> waited = ran.get_future();
  Post([&fn, &ran] {
    try {
      fn();
      ran.set_value();
    } catch (...) {
      ran.set_exception(std::current_exception());
    }
  });
  waited.get();
}

bool QueueMainLoop::IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool QueueMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::function<void()> next;
    {
      std::unique_lock lock(mutex_);
      // done() may turn true on another thread without anything being posted (a worker
      // setting a flag), so the wait is cut into short slices that look at it again.
      const auto slice = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
      if (!wake_.wait_until(lock, slice, [this] { return !queue_.empty(); })) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        continue;
      }
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    next();
  }
  return true;
}

size_t QueueMainLoop::RunPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queue_);
  }
  for (auto& fn : batch) fn();
  return batch.size();
}
