// MainThreadWatchdog: _NET_WM_PING sent to a program's window and its answers timed.
#include "tests/common/ui/main_thread_watchdog.h"

#include <poll.h>

#include <cstdio>

// Last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Xlib's default handler ends the process on any error; a window that goes away while it
// is pinged or looked at is an ordinary event here.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

milliseconds Since(Clock::time_point from, Clock::time_point now) {
  return std::chrono::duration_cast<milliseconds>(now - from);
}

struct Atoms {
  Atom protocols, ping, pid;
};

bool OfProcess(Display* d, Window w, Atom pidAtom, pid_t pid) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) != Success)
    return false;
  const bool match = data && type == XA_CARDINAL && format == 32 && count == 1 &&
                     pid_t(*reinterpret_cast<unsigned long*>(data)) == pid;
  if (data) XFree(data);
  return match;
}

bool TakesPings(Display* d, Window w, Atom ping) {
  Atom* protocols = nullptr;
  int count = 0;
  if (!XGetWMProtocols(d, w, &protocols, &count)) return false;
  bool takes = false;
  for (int i = 0; i < count; ++i) takes = takes || protocols[i] == ping;
  XFree(protocols);
  return takes;
}

bool TitleHas(Display* d, Window w, const std::string& part) {
  if (part.empty()) return true;
  char* name = nullptr;
  if (!XFetchName(d, w, &name) || !name) return false;
  const bool has = std::string(name).find(part) != std::string::npos;
  XFree(name);
  return has;
}

// The first shown top-level window of the process that answers pings; 0 when none. Without
// a window manager the top-level windows are the root's children.
Window FindWindow(Display* d, const Atoms& atoms, pid_t pid, const std::string& titlePart) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    if (OfProcess(d, children[i], atoms.pid, pid) && TakesPings(d, children[i], atoms.ping) &&
        TitleHas(d, children[i], titlePart))
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

void SendPing(Display* d, const Atoms& atoms, Window w, long sequence) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = atoms.protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(atoms.ping);
  event.xclient.data.l[1] = CurrentTime;
  event.xclient.data.l[2] = long(w);
  event.xclient.data.l[3] = sequence;  // the answer is the message itself, sent back
  XSendEvent(d, w, False, NoEventMask, &event);
  XFlush(d);
}

}  // namespace

MainThreadWatchdog::MainThreadWatchdog(pid_t pid, std::string titlePart, milliseconds limit, milliseconds interval)
    : pid_(pid), titlePart_(std::move(titlePart)), limit_(limit), interval_(interval) {
  thread_ = std::thread([this] { Watch(); });
}

MainThreadWatchdog::~MainThreadWatchdog() { Stop(); }

void MainThreadWatchdog::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void MainThreadWatchdog::NoteStall(double fromSeconds, milliseconds waited) {
  char line[128];
  std::snprintf(line, sizeof line, "no answer for %lld ms, from %.1f s after the window showed",
                static_cast<long long>(waited.count()), fromSeconds);
  std::lock_guard lock(mutex_);
  stalls_.push_back(line);
}

void MainThreadWatchdog::Watch() {
  static const auto kPreviousHandler = XSetErrorHandler(IgnoreErrors);
  (void)kPreviousHandler;
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::lock_guard lock(mutex_);
    failed_ = true;
    return;
  }
  const Atoms atoms{XInternAtom(d, "WM_PROTOCOLS", False), XInternAtom(d, "_NET_WM_PING", False),
                    XInternAtom(d, "_NET_WM_PID", False)};
  // The answers are sent to the root window, for its structure's listeners (Qt 6.4 sends
  // them with StructureNotifyMask, window managers expect SubstructureNotifyMask: both
  // are taken); the top-level windows' unmapping and destruction come with the latter.
  XSelectInput(d, DefaultRootWindow(d), StructureNotifyMask | SubstructureNotifyMask);
  XFlush(d);

  Window window = 0;
  bool gone = false;
  Clock::time_point shownAt{}, sentAt{}, nextPing{};
  long sequence = 0;
  bool waiting = false;
  auto seconds = [&](Clock::time_point at) { return std::chrono::duration<double>(at - shownAt).count(); };
  auto noteWait = [&](milliseconds waited) {
    std::lock_guard lock(mutex_);
    if (waited > longest_) longest_ = waited;
  };

  while (!stop_) {
    const Clock::time_point now = Clock::now();
    if (!window && !gone) {
      window = FindWindow(d, atoms, pid_, titlePart_);
      if (window) {
        shownAt = nextPing = now;
        std::lock_guard lock(mutex_);
        window_ = window;
      }
    }
    if (window && !waiting && now >= nextPing) {
      SendPing(d, atoms, window, ++sequence);
      sentAt = now;
      waiting = true;
    }
    if (waiting) noteWait(Since(sentAt, now));

    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    if (XPending(d) == 0) ::poll(&fd, 1, window ? 5 : 20);
    while (XPending(d) > 0) {
      XEvent event{};
      XNextEvent(d, &event);
      const Clock::time_point at = Clock::now();
      if (event.type == ClientMessage && event.xclient.message_type == atoms.protocols &&
          Atom(event.xclient.data.l[0]) == atoms.ping && Window(event.xclient.data.l[2]) == window &&
          event.xclient.data.l[3] == sequence && waiting) {
        const milliseconds waited = Since(sentAt, at);
        noteWait(waited);
        if (waited > limit_) NoteStall(seconds(sentAt), waited);
        waiting = false;
        nextPing = sentAt + interval_;
        std::lock_guard lock(mutex_);
        ++answered_;
        lastAnsweredSentAt_ = sentAt;
        lastAnswerAt_ = at;
      } else if (window && ((event.type == DestroyNotify && event.xdestroywindow.window == window) ||
                            (event.type == UnmapNotify && event.xunmap.window == window))) {
        // The program closed its window: nothing more to ask. A ping it left waiting
        // longer than the limit before that was a stall all the same.
        if (waiting && Since(sentAt, at) > limit_) NoteStall(seconds(sentAt), Since(sentAt, at));
        waiting = false;
        window = 0;
        gone = true;
        std::lock_guard lock(mutex_);
        closedAt_ = at;
      }
    }
  }
  if (waiting && Since(sentAt, Clock::now()) > limit_) NoteStall(seconds(sentAt), Since(sentAt, Clock::now()));
  XCloseDisplay(d);
}

unsigned long MainThreadWatchdog::WaitForWindow(milliseconds timeout) {
  const Clock::time_point until = Clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (window_ || failed_) return window_;
    }
    if (Clock::now() >= until) return 0;
    std::this_thread::sleep_for(milliseconds(10));
  }
}

bool MainThreadWatchdog::WaitForAnswers(int count, milliseconds timeout) {
  const Clock::time_point until = Clock::now() + timeout;
  for (;;) {
    if (Answered() >= count) return true;
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
}

std::optional<Clock::time_point> MainThreadWatchdog::WaitForAnswerAfter(Clock::time_point after, milliseconds timeout) {
  const Clock::time_point until = Clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (answered_ > 0 && lastAnsweredSentAt_ >= after) return lastAnswerAt_;
    }
    if (Clock::now() >= until) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

std::optional<Clock::time_point> MainThreadWatchdog::WaitForClose(milliseconds timeout) {
  const Clock::time_point until = Clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (closedAt_) return closedAt_;
    }
    if (Clock::now() >= until) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

int MainThreadWatchdog::Answered() const {
  std::lock_guard lock(mutex_);
  return answered_;
}

milliseconds MainThreadWatchdog::Longest() const {
  std::lock_guard lock(mutex_);
  return longest_;
}

std::vector<std::string> MainThreadWatchdog::Stalls() const {
  std::lock_guard lock(mutex_);
  return stalls_;
}

std::string MainThreadWatchdog::Report() const {
  std::lock_guard lock(mutex_);
  if (failed_) return "the watchdog cannot reach the X server";
  if (!window_) return "the watchdog never saw the window";
  std::string report = std::to_string(answered_) + " pings answered, the longest wait " +
                       std::to_string(longest_.count()) + " ms";
  for (const std::string& stall : stalls_) report += "; " + stall;
  return report;
}
