// Test servers on 127.0.0.1 for the CDDB client tests.
#include "loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

extern char** environ;

namespace {

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

void Answer(TestConnection& connection, const std::string& reply) {
  if (reply == kStall) return connection.Stall();
  if (reply.ends_with(kTrickle)) {
    connection.Send(std::string_view(reply).substr(0, reply.size() - kTrickle.size()));
    return connection.Trickle();
  }
  connection.Send(reply);
}

}  // namespace

bool TestConnection::ReadByte(char& c) {
  for (;;) {
    if (stop_) return false;
    pollfd entry{fd_, POLLIN, 0};
    const int ready = ::poll(&entry, 1, 20);
    if (ready == 0) continue;
    if (ready < 0) return false;
    if (::recv(fd_, &c, 1, 0) != 1) return false;
    std::lock_guard lock(mutex_);
    transcript_.push_back(c);
    return true;
  }
}

std::optional<std::string> TestConnection::ReadUntil(std::string_view delimiter) {
  std::string text;
  char c = 0;
  while (ReadByte(c)) {
    text.push_back(c);
    if (text.ends_with(delimiter)) return text;
  }
  return std::nullopt;
}

std::optional<std::string> TestConnection::ReadBytes(std::size_t count) {
  std::string text;
  char c = 0;
  while (text.size() < count && ReadByte(c)) text.push_back(c);
  if (text.size() < count) return std::nullopt;
  return text;
}

void TestConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void TestConnection::Stall() {
  while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void TestConnection::Trickle() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!stop_ && std::chrono::steady_clock::now() < end) {
    Send("x");
    for (int i = 0; i < 20 && !stop_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

LoopbackServer::LoopbackServer(ConnectionHandler handler, bool fillBacklog)
    : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address = Loopback(0);
  ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listenFd_, fillBacklog ? 0 : 16);
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (fillBacklog) {
    // A backlog of 0 holds one connection that is never accepted; later SYNs are dropped.
    fillerFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in self = Loopback(port_);
    ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&self), sizeof self);
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fillerFd_ >= 0) ::close(fillerFd_);
  ::close(listenFd_);
}

std::vector<std::string> LoopbackServer::Transcripts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> copies;
  for (const auto& transcript : transcripts_) copies.push_back(*transcript);
  return copies;
}

void LoopbackServer::Serve() {
  while (!stop_) {
    pollfd entry{listenFd_, POLLIN, 0};
    if (::poll(&entry, 1, 20) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::shared_ptr<std::string> transcript;
    {
      std::lock_guard lock(mutex_);
      transcripts_.push_back(std::make_shared<std::string>());
      transcript = transcripts_.back();
    }
    TestConnection connection(fd, stop_, *transcript, mutex_);
    handler_(connection);
    ::close(fd);
  }
}

ConnectionHandler CddbpHandler(CddbScript script) {
  return [script](TestConnection& connection) {
    Answer(connection, script.greeting);
    for (;;) {
      auto line = connection.ReadUntil("\n");
      if (!line) return;
      if (line->rfind("cddb hello", 0) == 0) Answer(connection, script.helloReply);
      else if (line->rfind("proto", 0) == 0) Answer(connection, script.protoReply);
      else if (line->rfind("cddb query", 0) == 0) Answer(connection, script.queryReply);
      else if (line->rfind("cddb read", 0) == 0) Answer(connection, script.readReply);
      else if (line->rfind("quit", 0) == 0) return;
      else connection.Send("500 Unrecognized command.\r\n");
    }
  };
}

ConnectionHandler CddbHttpHandler(CddbScript script) {
  return [script](TestConnection& connection) {
    auto request = connection.ReadUntil("\r\n\r\n");
    if (!request) return;
    const auto has = [&request](const char* text) {
      return request->find(text) != std::string::npos;
    };
    const std::string body = has("cmd=cddb+query") ? script.queryReply
                             : has("cmd=cddb+read") ? script.readReply
                                                    : "500 Command syntax error.\r\n";
    Answer(connection, body == kStall ? body : script.httpStatus + body);
  };
}

ConnectionHandler Socks4Front(ConnectionHandler next, unsigned char status) {
  return [next, status](TestConnection& connection) {
    if (!connection.ReadBytes(15)) return;
    std::string reply(8, '\0');
    reply[1] = static_cast<char>(status);
    connection.Send(reply);
    if (status == 90) next(connection);
  };
}

ConnectionHandler HttpReplyHandler(std::string response) {
  return [response](TestConnection& connection) {
    if (!connection.ReadUntil("\r\n\r\n")) return;
    Answer(connection, response);
  };
}

std::string HttpResponse(int status, std::string_view reason, std::string_view body) {
  return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
         "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + std::string(body);
}

namespace {

nlohmann::json Credit(const std::string& name) {
  return nlohmann::json::array({{{"name", name}, {"joinphrase", ""}, {"artist", {{"name", name}, {"id", "a-" + name}}}}});
}

}  // namespace

std::string MusicBrainzDiscReply(const std::vector<WebRelease>& releases) {
  nlohmann::json list = nlohmann::json::array();
  for (const WebRelease& release : releases) {
    nlohmann::json tracks = nlohmann::json::array();
    int position = 0;
    for (const WebTrack& track : release.tracks) {
      ++position;
      const nlohmann::json credit = Credit(track.artist.empty() ? release.artist : track.artist);
      tracks.push_back({{"id", "t-" + release.id + "-" + std::to_string(position)},
                        {"position", position},
                        {"number", std::to_string(position)},
                        {"title", track.title},
                        {"length", 2000},
                        {"artist-credit", credit},
                        {"recording", {{"id", "r-" + track.title}, {"title", track.title}, {"artist-credit", credit}}}});
    }
    nlohmann::json discs = nlohmann::json::array();
    if (!release.discId.empty()) discs.push_back({{"id", release.discId}, {"sectors", 420}});
    list.push_back({{"id", release.id},
                    {"title", release.title},
                    {"date", release.date},
                    {"country", release.country},
                    {"status", "Official"},
                    {"artist-credit", Credit(release.artist)},
                    {"media", nlohmann::json::array({{{"position", 1},
                                                      {"format", "CD"},
                                                      {"track-count", release.tracks.size()},
                                                      {"discs", discs},
                                                      {"tracks", tracks}}})}});
  }
  return nlohmann::json{{"releases", list}}.dump();
}

std::uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  pid_ = pid;
  return true;
}

bool ChildProcess::WaitForListen(std::uint16_t port, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (up) return true;
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  bool ended = false;
  for (int i = 0; i < 100 && !(ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

std::string FindProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin:/usr/local/sbin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/" + program;
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}
