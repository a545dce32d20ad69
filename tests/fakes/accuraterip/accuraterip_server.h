// A stand-in for the AccurateRip database on 127.0.0.1, for tests and benchmarks.
//
// In a test (the server runs on a thread of the test program):
//
//   FakeAccurateRipServer server;                  // port chosen by the system
//   server.ServeRecord(ids, record);               // the record at ids.RecordPath()
//   server.Serve("/other/path", bytes, 503);       // any bytes, any status
//   request.server = server.Url();                 // "http://127.0.0.1:<port>"
//   ... or ZIMBAR_ACCURATERIP_SERVER=<server.Url()> for a zbmaker the test starts.
//
// Every other path is answered 404. A request with an absolute URL ("GET http://host/path",
// as a client sends it to an HTTP proxy) is served by its path, so the server also stands
// in for a proxy. SetMode makes the server slow or broken:
//   Stall        reads the request and never answers, holding the connection open;
//   Trickle      sends a 200 head with a large length, then one body byte every 200 ms;
//   CloseAtOnce  closes each connection as soon as it is accepted.
// SetDelay answers after a pause (a slow server that does answer). A server that is down:
// FakeAccurateRipServerDownUrl().
//
// As a program of its own (for scripts and benchmarks), until SIGTERM or SIGINT:
//
//   zb_fake_accuraterip_server --port-file F [--stall | --trickle | --close]
//                              [--delay-ms N] [--status N] [PATH=FILE]...
//
// It serves each FILE's bytes at PATH (with --status N instead of 200), writes its port to
// F once it listens (F appears whole: written aside, then renamed) and logs one line per
// request on standard output. FakeAccurateRipServerProcess starts it from a test.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "maker/accuracy/accuraterip.h"

enum class FakeServerMode { Answer, Stall, Trickle, CloseAtOnce };

// One request as the server read it.
struct FakeHttpRequest {
  std::string target;  // as sent: "/accuraterip/..." or "http://host:port/accuraterip/..."
  std::string path;    // the target's path, without scheme and host
  std::string head;    // the request line and the header lines, as sent
};

class FakeAccurateRipServer {
 public:
  explicit FakeAccurateRipServer(FakeServerMode mode = FakeServerMode::Answer);
  ~FakeAccurateRipServer();
  FakeAccurateRipServer(const FakeAccurateRipServer&) = delete;
  FakeAccurateRipServer& operator=(const FakeAccurateRipServer&) = delete;

  // What the server answers at `path` from now on ("/accuraterip/a/b/c/dBAR-...bin"), with
  // extra header lines ("Location: /b\r\n"; a Content-Type replaces the default one).
  void Serve(const std::string& path, std::string body, int status = 200, std::string headers = {});
  // The record's bytes (EncodeAccurateRipRecord) at ids.RecordPath().
  void ServeRecord(const AccurateRipDiscIds& ids, const AccurateRipRecord& record);
  void SetMode(FakeServerMode mode);
  void SetDelay(std::chrono::milliseconds delay);
  // Writes one line per request there ("GET /path: 200, 13 bytes"); nullptr for none.
  void SetLog(std::FILE* log);

  std::uint16_t Port() const { return port_; }
  std::string Url() const;  // "http://127.0.0.1:<port>"
  // False when the server could not listen (Port() is then 0).
  bool Listening() const { return port_ != 0; }

  std::vector<FakeHttpRequest> Requests() const;
  // Waits until `count` requests have been read; false when `limit` passed first.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const;

 private:
  struct Connection;
  struct Route {
    int status = 200;
    std::string body;
    std::string headers;
  };
  void Run();
  bool ReadFrom(Connection& connection);
  void Answer(Connection& connection, const FakeHttpRequest& request);
  bool WriteTo(Connection& connection);

  int listenFd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::uint16_t port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable requestsChanged_;
  std::map<std::string, Route> routes_;
  std::vector<FakeHttpRequest> requests_;
  FakeServerMode mode_ = FakeServerMode::Answer;
  std::chrono::milliseconds delay_{0};
  std::FILE* log_ = nullptr;
  bool stopping_ = false;
  std::thread thread_;  // last: joined before the state it uses goes
};

// The server program, started by a test in a folder of its own and stopped (SIGTERM) when
// this object goes.
class FakeAccurateRipServerProcess {
 public:
  FakeAccurateRipServerProcess() = default;
  ~FakeAccurateRipServerProcess();
  FakeAccurateRipServerProcess(const FakeAccurateRipServerProcess&) = delete;
  FakeAccurateRipServerProcess& operator=(const FakeAccurateRipServerProcess&) = delete;

  // Starts the program with `arguments` (modes and PATH=FILE pairs), its port file and its
  // log (log.txt) in `folder`; waits up to 10 s for the port. False when it did not start.
  bool Start(const std::vector<std::string>& arguments, const std::string& folder);
  void Stop();
  std::uint16_t Port() const { return port_; }
  std::string Url() const;

 private:
  int pid_ = -1;
  std::uint16_t port_ = 0;
};

// A pressing of the disc `ids` as the database would list it for rips whose checksums are
// `sums` (one per audio track, in order): each entry the v2 checksum (v1 with
// `v2 = false`) with `confidence`, frame-450 checksums 0. A test that wants a pressing
// that does not match changes a checksum.
AccurateRipPressing FakeAccurateRipPressing(const AccurateRipDiscIds& ids, const std::vector<AccurateRipSums>& sums,
                                            int confidence, bool v2 = true);

// "http://127.0.0.1:<port>" where nothing listens at the moment (the port was bound, read
// and closed): a server that is down, whose connections are refused.
std::string FakeAccurateRipServerDownUrl();

// Where the build put the server program.
std::string FakeAccurateRipServerProgram();
