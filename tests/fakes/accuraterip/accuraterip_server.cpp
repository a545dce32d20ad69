// The loopback AccurateRip server: one thread polls the listening socket and every open
// connection, so that stalled and trickling connections never hold up the others.
#include "tests/fakes/accuraterip/accuraterip_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <list>
#include <sstream>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr milliseconds kTrickleEvery{200};
constexpr std::chrono::seconds kTrickleFor{60};
// The length a trickling reply announces: far more than it will ever send.
constexpr std::size_t kTrickleLength = 10 * 1024 * 1024;

std::string ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

// `headers` (lines ending in "\r\n") come after the status line; a Content-Type among them
// replaces the default one.
std::string Response(int status, const std::string& body, const std::string& headers) {
  const bool typed = headers.find("Content-Type:") != std::string::npos;
  return "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) + "\r\n" + headers +
         (typed ? "" : "Content-Type: application/octet-stream\r\n") +
         "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// The path of a request target: "/a/b?x" -> "/a/b", "http://host:1/a/b" -> "/a/b".
std::string PathOf(std::string target) {
  for (const char* scheme : {"http://", "https://"}) {
    if (target.rfind(scheme, 0) == 0) {
      const auto slash = target.find('/', std::string(scheme).size());
      target = slash == std::string::npos ? "/" : target.substr(slash);
      break;
    }
  }
  return target.substr(0, target.find('?'));
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

struct FakeAccurateRipServer::Connection {
  enum class State { Reading, Waiting, Sending, Trickling, Holding };
  int fd = -1;
  State state = State::Reading;
  std::string in;
  std::string out;
  std::size_t sent = 0;
  Clock::time_point at;   // Waiting: when to answer; Trickling: the next byte
  Clock::time_point end;  // Trickling: when to give up
};

FakeAccurateRipServer::FakeAccurateRipServer(FakeServerMode mode) : mode_(mode) {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseFd(listenFd_);
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FakeAccurateRipServer::~FakeAccurateRipServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  if (wakeWrite_ >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  CloseFd(listenFd_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
}

void FakeAccurateRipServer::Serve(const std::string& path, std::string body, int status, std::string headers) {
  std::lock_guard lock(mutex_);
  routes_[path] = Route{status, std::move(body), std::move(headers)};
}

void FakeAccurateRipServer::ServeRecord(const AccurateRipDiscIds& ids, const AccurateRipRecord& record) {
  Serve(ids.RecordPath(), EncodeAccurateRipRecord(record));
}

void FakeAccurateRipServer::SetMode(FakeServerMode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
}

void FakeAccurateRipServer::SetDelay(milliseconds delay) {
  std::lock_guard lock(mutex_);
  delay_ = delay;
}

void FakeAccurateRipServer::SetLog(std::FILE* log) {
  std::lock_guard lock(mutex_);
  log_ = log;
}

std::string FakeAccurateRipServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<FakeHttpRequest> FakeAccurateRipServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool FakeAccurateRipServer::WaitForRequests(std::size_t count, milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return requestsChanged_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

// Reads what has come; false when the peer closed or the head is too long.
bool FakeAccurateRipServer::ReadFrom(Connection& connection) {
  char buffer[4096];
  const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
  if (got <= 0) return got < 0 && (errno == EAGAIN || errno == EINTR);
  if (connection.state != Connection::State::Reading) return true;  // what follows the request
  connection.in.append(buffer, static_cast<std::size_t>(got));
  // Not HTTP (a TLS greeting, say): the connection is closed, as a plain server would.
  if (connection.in[0] < 'A' || connection.in[0] > 'Z') return false;
  const auto headEnd = connection.in.find("\r\n\r\n");
  if (headEnd == std::string::npos) return connection.in.size() <= kMaxHeadBytes;
  FakeHttpRequest request;
  request.head = connection.in.substr(0, headEnd + 4);
  const std::string line = request.head.substr(0, request.head.find("\r\n"));
  std::istringstream words(line);
  std::string method;
  words >> method >> request.target;
  request.path = PathOf(request.target);
  Answer(connection, request);
  return true;
}

void FakeAccurateRipServer::Answer(Connection& connection, const FakeHttpRequest& request) {
  std::lock_guard lock(mutex_);
  const auto route = routes_.find(request.path);
  const int status = route == routes_.end() ? 404 : route->second.status;
  const std::string body = route == routes_.end() ? std::string("no such record\n") : route->second.body;
  const std::string headers = route == routes_.end() ? std::string() : route->second.headers;
  const Clock::time_point now = Clock::now();
  switch (mode_) {
    case FakeServerMode::Answer:
    case FakeServerMode::CloseAtOnce:
      connection.out = Response(status, body, headers);
      connection.state = delay_.count() > 0 ? Connection::State::Waiting : Connection::State::Sending;
      connection.at = now + delay_;
      break;
    case FakeServerMode::Stall: connection.state = Connection::State::Holding; break;
    case FakeServerMode::Trickle:
      connection.out = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                       std::to_string(kTrickleLength) + "\r\n\r\n";
      connection.state = Connection::State::Trickling;
      connection.at = now;
      connection.end = now + kTrickleFor;
      break;
  }
  if (log_ != nullptr) {
    std::fprintf(log_, "%s: %d, %zu bytes\n", request.head.substr(0, request.head.find("\r\n")).c_str(), status,
                 body.size());
    std::fflush(log_);
  }
  requests_.push_back(request);
  requestsChanged_.notify_all();
}

// Sends what the socket takes; false once everything is sent or the peer is gone.
bool FakeAccurateRipServer::WriteTo(Connection& connection) {
  while (connection.sent < connection.out.size()) {
    const ssize_t sent = ::send(connection.fd, connection.out.data() + connection.sent,
                                connection.out.size() - connection.sent, MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (sent <= 0) return false;
    connection.sent += static_cast<std::size_t>(sent);
  }
  return false;
}

void FakeAccurateRipServer::Run() {
  std::list<Connection> connections;
  for (;;) {
    std::vector<pollfd> entries{{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
    Clock::time_point next = Clock::now() + std::chrono::seconds(1);
    for (const Connection& connection : connections) {
      const bool sending = connection.state == Connection::State::Sending;
      entries.push_back({connection.fd, static_cast<short>(sending ? POLLOUT : POLLIN), 0});
      if (connection.state == Connection::State::Waiting || connection.state == Connection::State::Trickling)
        next = std::min(next, connection.at);
    }
    const auto wait = std::chrono::duration_cast<milliseconds>(next - Clock::now()).count();
    ::poll(entries.data(), entries.size(), static_cast<int>(std::max<long long>(0, wait + 1)));
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
    }
    if (entries[1].revents & POLLIN) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      bool closeAtOnce = false;
      {
        std::lock_guard lock(mutex_);
        closeAtOnce = mode_ == FakeServerMode::CloseAtOnce;
      }
      if (fd >= 0 && closeAtOnce) {
        ::close(fd);
      } else if (fd >= 0) {
        connections.push_back(Connection{});
        connections.back().fd = fd;
      }
    }
    std::size_t index = 2;
    const Clock::time_point now = Clock::now();
    for (auto it = connections.begin(); it != connections.end(); ++index) {
      Connection& connection = *it;
      // A connection accepted in this round has no entry yet.
      const short events = index < entries.size() ? entries[index].revents : 0;
      bool keep = true;
      if (events & (POLLERR | POLLNVAL)) keep = false;
      else if (connection.state == Connection::State::Sending && (events & (POLLOUT | POLLHUP))) keep = WriteTo(connection);
      else if (events & (POLLIN | POLLHUP)) keep = ReadFrom(connection);
      if (keep && connection.state == Connection::State::Waiting && now >= connection.at) {
        connection.state = Connection::State::Sending;
        keep = WriteTo(connection);
      }
      if (keep && connection.state == Connection::State::Trickling && now >= connection.at) {
        if (connection.sent < connection.out.size()) {
          keep = WriteTo(connection) || connection.sent == connection.out.size();
        } else {
          keep = now < connection.end && ::send(connection.fd, "x", 1, MSG_NOSIGNAL) == 1;
        }
        connection.at = now + kTrickleEvery;
      }
      if (keep) {
        ++it;
        continue;
      }
      ::shutdown(connection.fd, SHUT_WR);
      ::close(connection.fd);
      it = connections.erase(it);
    }
  }
  for (Connection& connection : connections) ::close(connection.fd);
}

FakeAccurateRipServerProcess::~FakeAccurateRipServerProcess() { Stop(); }

bool FakeAccurateRipServerProcess::Start(const std::vector<std::string>& arguments, const std::string& folder) {
  Stop();
  const std::string portFile = folder + "/port.txt";
  const std::string logFile = folder + "/log.txt";
  ::unlink(portFile.c_str());
  std::vector<std::string> argv{FakeAccurateRipServerProgram(), "--port-file", portFile};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (std::string& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  pid_ = pid;
  // The port file appears whole once the server listens; the loop ends early when the
  // program ended (a bad argument).
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < end) {
    unsigned port = 0;
    if (std::ifstream(portFile) >> port && port > 0 && port < 65536) {
      port_ = static_cast<std::uint16_t>(port);
      return true;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  Stop();
  return false;
}

void FakeAccurateRipServerProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  // A server that does not end within 5 s is killed.
  bool ended = false;
  for (int i = 0; i < 500 && !(ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  if (!ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  port_ = 0;
}

std::string FakeAccurateRipServerProcess::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

AccurateRipPressing FakeAccurateRipPressing(const AccurateRipDiscIds& ids, const std::vector<AccurateRipSums>& sums,
                                            int confidence, bool v2) {
  AccurateRipPressing pressing{ids.id1, ids.id2, ids.cddb, {}};
  for (const AccurateRipSums& track : sums)
    pressing.tracks.push_back({static_cast<uint8_t>(confidence), v2 ? track.v2 : track.v1, 0});
  return pressing;
}

std::string FakeAccurateRipServerDownUrl() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (fd >= 0) ::close(fd);
  // Port 1 is a privileged port nobody serves on a test machine.
  return "http://127.0.0.1:" + std::to_string(bound ? ntohs(address.sin_port) : 1);
}

std::string FakeAccurateRipServerProgram() { return ZB_FAKE_ACCURATERIP_SERVER_PROGRAM; }
