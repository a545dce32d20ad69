// Test servers on 127.0.0.1: a scripted TCP server that records every byte it reads, the
// CDDB server scripts (cddbp, HTTP, SOCKS 4 in front) and the web service replies the
// lookup tests talk to.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// One accepted connection as the handler sees it. Reads give up when the server stops.
class TestConnection {
 public:
  TestConnection(int fd, const std::atomic<bool>& stop, std::string& transcript,
                 std::mutex& mutex)
      : fd_(fd), stop_(stop), transcript_(transcript), mutex_(mutex) {}

  // Reads up to and including `delimiter`; empty when the peer closed or the server stops.
  std::optional<std::string> ReadUntil(std::string_view delimiter);
  std::optional<std::string> ReadBytes(std::size_t count);
  void Send(std::string_view bytes);
  // Holds the connection open without answering until the server stops.
  void Stall();
  // Sends one byte every 200 ms, never a line feed, until the server stops or 10 s have
  // passed: a server slow enough to hold a client whose waits each have a limit.
  void Trickle();

 private:
  bool ReadByte(char& c);

  int fd_;
  const std::atomic<bool>& stop_;
  std::string& transcript_;
  std::mutex& mutex_;
};

using ConnectionHandler = std::function<void(TestConnection&)>;

// Listens on an ephemeral loopback port and runs `handler` for each connection, one at a
// time, on its own thread. With `fillBacklog` the listen queue is filled at once by a
// connection of its own, so further connects hang until their time limit.
class LoopbackServer {
 public:
  explicit LoopbackServer(ConnectionHandler handler, bool fillBacklog = false);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // Every byte read from each connection, one entry per accepted connection.
  std::vector<std::string> Transcripts() const;

 private:
  void Serve();

  ConnectionHandler handler_;
  int listenFd_ = -1;
  int fillerFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<std::string>> transcripts_;
  std::thread thread_;
};

// What the CDDB test server answers. A reply of kStall means: read the command, never
// answer. A reply ending in kTrickle sends what comes before it, then trickles (Trickle).
// Replies are sent as given (lines with "\r\n").
inline constexpr std::string_view kStall = "<stall>";
inline constexpr std::string_view kTrickle = "<trickle>";

struct CddbScript {
  std::string greeting = "201 test.local CDDBP server v1.5 ready\r\n";
  std::string helloReply = "200 Hello and welcome\r\n";
  std::string protoReply = "201 OK, CDDB protocol level now: 6\r\n";
  std::string queryReply;
  std::string readReply;
  std::string httpStatus = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
};

// cddbp: greeting, then answers "cddb hello", "proto", "cddb query", "cddb read" lines.
ConnectionHandler CddbpHandler(CddbScript script);
// HTTP/1.0: one request per connection, answered by its cmd (query or read), then closed.
ConnectionHandler CddbHttpHandler(CddbScript script);
// A SOCKS 4 proxy in front of `next`: reads the 15-byte request, answers with the given
// status byte (90 grants) and, when granted, hands the connection to `next`.
ConnectionHandler Socks4Front(ConnectionHandler next, unsigned char status = 90);

// HTTP/1.1: reads one request (up to its empty line) and answers `response` as given
// (kStall and kTrickle as for CDDB), then closes the connection.
ConnectionHandler HttpReplyHandler(std::string response);
// A whole HTTP/1.1 response: status line, JSON content type, length, "Connection: close".
std::string HttpResponse(int status, std::string_view reason, std::string_view body);

// A release as the web service describes it, for the replies of the tests: one CD medium
// holding `discId` (none when empty) and the tracks; a track without an artist has the
// release's credit.
struct WebTrack {
  std::string title;
  std::string artist;
};
struct WebRelease {
  std::string id;
  std::string title;
  std::string artist;
  std::string date;
  std::string country;
  std::string discId;
  std::vector<WebTrack> tracks;
};
// The JSON reply to GET /ws/2/discid/...&inc=artist-credits+recordings&fmt=json. Each
// release has one medium; artist ids are "a-<name>", recording ids "r-<title>" and track
// ids "t-<release id>-<position>".
std::string MusicBrainzDiscReply(const std::vector<WebRelease>& releases);

// Loopback port nobody listens on at the moment (bound, read, closed).
std::uint16_t FreeLoopbackPort();

// A helper program (proxy) started by a test in the foreground, stopped by SIGTERM.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (searched in PATH) with its output to `logPath`; false when it cannot.
  bool Start(const std::vector<std::string>& argv, const std::string& logPath);
  // Waits until something accepts connections on 127.0.0.1:port; false after `ms`.
  bool WaitForListen(std::uint16_t port, int ms);
  void Stop();

 private:
  int pid_ = -1;
};

// Full path of `program` when found in PATH or the usual sbin folders, else empty.
std::string FindProgram(const std::string& program);
