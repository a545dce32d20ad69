// What the tests of hangs use: loopback servers (stream_server.py in a child process, with
// the events it prints, and a port on 127.0.0.1 whose listening socket never answers), a
// FIFO nobody writes to, and a watchdog that lets a stuck player go so that the test fails
// rather than hangs.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace player_test {

// stream_server.py in a child process; Port() is 0 when it did not start.
class StreamServer {
 public:
  explicit StreamServer(std::vector<std::string> args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    args.insert(args.begin(), {"/usr/bin/python3", ZIMBAR_SOURCE_DIR "/tests/outside/zbdecode/stream_server.py"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, "/usr/bin/python3", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    events_ = out[0];
    std::string line;
    if (pid_ > 0 && NextLine(std::chrono::seconds(20), &line)) port_ = std::atoi(line.c_str());
  }
  ~StreamServer() { Stop(); }
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  int Port() const { return port_; }
  // Waits for the server to print the event `word` ("accepted", "headers", "byte");
  // false when it did not within the time.
  bool WaitForEvent(const std::string& word, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !NextLine(left, &line)) return false;
      if (line == word) return true;
    }
  }
  // Ends the server and every connection it holds.
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (events_ >= 0) ::close(events_);
    events_ = -1;
  }

 private:
  bool NextLine(std::chrono::milliseconds timeout, std::string* line) {
    line->clear();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      char c = 0;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{events_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return false;
      if (::read(events_, &c, 1) != 1) return false;
      if (c == '\n') return true;
      line->push_back(c);
    }
  }

  pid_t pid_ = -1;
  int events_ = -1;
  int port_ = 0;
};

// A listening socket on 127.0.0.1 that never accepts, its backlog filled by a connection
// of its own: the kernel drops every further connection request to it, so a client's
// connect stays unanswered (as with a host that has gone) until the client gives up.
class UnansweredPort {
 public:
  UnansweredPort() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    // A backlog of 0 holds one connection: this one, completed by the kernel at once.
    filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    port_ = ntohs(address.sin_port);
  }
  ~UnansweredPort() {
    if (filler_ >= 0) ::close(filler_);
    if (listener_ >= 0) ::close(listener_);
  }
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;

  int Port() const { return port_; }
  // Waits until a socket of this machine is trying to connect to the port (its request
  // unanswered: SYN_SENT in /proc/net/tcp); false when none did within the time.
  bool WaitForConnectAttempt(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X", unsigned(port_));
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream table("/proc/net/tcp");
      std::string row;
      std::getline(table, row);  // the column names
      while (std::getline(table, row)) {
        std::istringstream fields(row);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "02" && remote.size() > 5 && remote.compare(remote.size() - 5, 5, wanted) == 0) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

 private:
  int listener_ = -1;
  int filler_ = -1;
  int port_ = 0;
};

// A server on 127.0.0.1 that holds a client's stream in one state while it opens:
// "dripping" (the reply's headers, then one byte every 2 s), "silent" (the connection
// accepted, nothing ever said), "unanswered" (the connect itself never answered).
class HoldingServer {
 public:
  HoldingServer(const std::string& kind, const std::string& mp3) : kind_(kind) {
    if (kind == "unanswered") {
      port_ = std::make_unique<UnansweredPort>();
      if (port_->Port() != 0) url_ = "http://127.0.0.1:" + std::to_string(port_->Port()) + "/stream.mp3";
      return;
    }
    std::vector<std::string> args{"http", mp3};
    if (kind == "dripping") args.insert(args.end(), {"--drip", "2"});
    if (kind == "silent") args.push_back("--silent");
    server_ = std::make_unique<StreamServer>(args);
    if (server_->Port() != 0) url_ = "http://127.0.0.1:" + std::to_string(server_->Port()) + "/stream.mp3";
  }

  // Empty when the server did not start.
  const std::string& Url() const { return url_; }
  // Waits until the server holds a client: a byte dripped after the headers, a connection
  // accepted, a connect attempt left unanswered.
  bool WaitUntilHeld() {
    if (port_) return port_->WaitForConnectAttempt();
    return server_->WaitForEvent(kind_ == "dripping" ? "byte" : "accepted");
  }
  // Ends the server, so that a client it holds is let go (a connect attempt is left to
  // its own time limit). Any thread.
  void Release() {
    if (server_) server_->Stop();
  }

 private:
  std::string kind_, url_;
  std::unique_ptr<StreamServer> server_;
  std::unique_ptr<UnansweredPort> port_;
};

// Calls release once the time has passed, unless it is destroyed before: a player that
// waits for something it should not (the fault under test) is let go by release, so that
// the test fails with the time it took instead of hanging.
class Watchdog {
 public:
  Watchdog(std::chrono::milliseconds after, std::function<void()> release)
      : thread_([this, after, release = std::move(release)] {
          std::unique_lock lock(mutex_);
          if (!doneChanged_.wait_for(lock, after, [this] { return done_; })) release();
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    doneChanged_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable doneChanged_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the state above exists
};

// A FIFO nobody writes to. Release() lets go whoever waits in an open or a read of it
// (it opens the FIFO for writing and closes it: the reader sees the end).
class IdleFifo {
 public:
  explicit IdleFifo(std::string path) : path_(std::move(path)) { ok_ = ::mkfifo(path_.c_str(), 0600) == 0; }
  bool Ok() const { return ok_; }
  const std::string& Path() const { return path_; }
  void Release() const {
    // A reader blocked in open() is let go by a writer's open; one in read() by its close.
    for (int i = 0; i < 50; ++i) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

 private:
  std::string path_;
  bool ok_ = false;
};

// Milliseconds that fn takes.
inline std::chrono::milliseconds TimeOf(const std::function<void()>& fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace player_test
