// QueueMainLoop: the main loop of the terminal front end and of the tests.
#include "common/main_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <stdexcept>
#include <vector>

QueueMainLoop::QueueMainLoop() : mainThread_(std::this_thread::get_id()) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) throw std::runtime_error("QueueMainLoop: cannot create its wake-up descriptor");
}

QueueMainLoop::~QueueMainLoop() { ::close(wakeFd_); }

void QueueMainLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  const uint64_t one = 1;
  // A full counter (never reached in practice) still leaves the descriptor readable.
  [[maybe_unused]] const ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
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

MainLoop::HandlerId QueueMainLoop::WatchReadable(int fd, std::function<void()> onReadable) {
  const HandlerId id = nextId_++;
  watches_[id] = {fd, std::move(onReadable)};
  return id;
}

void QueueMainLoop::Unwatch(HandlerId id) { watches_.erase(id); }

MainLoop::HandlerId QueueMainLoop::StartTimer(std::chrono::milliseconds interval, bool repeat,
                                              std::function<void()> fn) {
  const HandlerId id = nextId_++;
  timers_[id] = Timer{std::chrono::steady_clock::now() + interval, interval, repeat, std::move(fn)};
  return id;
}

void QueueMainLoop::StopTimer(HandlerId id) { timers_.erase(id); }

void QueueMainLoop::RunOnce(std::chrono::steady_clock::time_point waitUntil) {
  std::function<void()> next;
  {
    std::lock_guard lock(mutex_);
    if (!queue_.empty()) {
      next = std::move(queue_.front());
      queue_.pop_front();
    }
  }
  if (next) {
    next();
    return;
  }

  auto now = std::chrono::steady_clock::now();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due > now) continue;
    std::function<void()> fn = it->second.fn;
    if (it->second.repeat) it->second.due = now + it->second.interval;
    else timers_.erase(it);
    fn();  // may start or stop timers: the map is looked at afresh next round
    return;
  }
  for (const auto& [id, timer] : timers_) waitUntil = std::min(waitUntil, timer.due);

  std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}};
  std::vector<HandlerId> ids{0};
  for (const auto& [id, watch] : watches_) {
    fds.push_back({watch.first, POLLIN, 0});
    ids.push_back(id);
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(waitUntil - now).count();
  const int ready = ::poll(fds.data(), fds.size(), int(std::max<int64_t>(0, wait)));
  if (ready <= 0) return;
  if (fds[0].revents & POLLIN) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
  }
  for (size_t i = 1; i < fds.size(); ++i) {
    if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    auto it = watches_.find(ids[i]);  // an earlier handler may have removed it
    if (it == watches_.end()) continue;
    std::function<void()> fn = it->second.second;
    fn();
  }
}

bool QueueMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    // done() may turn true on another thread without anything being posted (a worker
    // setting a flag), so the wait is cut into short slices that look at it again.
    RunOnce(std::min(deadline, now + std::chrono::milliseconds(5)));
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
