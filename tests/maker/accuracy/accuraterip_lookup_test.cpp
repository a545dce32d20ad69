// LookUpAccurateRip against the loopback AccurateRip server.
#include "maker/accuracy/accuraterip_lookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "common/version.h"
#include "tests/common/temp_dir.h"
#include "tests/fakes/accuraterip/accuraterip_server.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Kind = AccurateRipLookupResult::Kind;
using std::chrono::milliseconds;

// A three-track disc, and a record with two pressings of it and one of another layout.
AccurateRipDiscIds Disc() {
  AccurateRipDiscIds ids;
  ids.audioTracks = 3;
  ids.id1 = 0x0002c4d7;
  ids.id2 = 0x0017e2a9;
  ids.cddb = 0x1d0aa403;
  return ids;
}

AccurateRipRecord Record() {
  const AccurateRipDiscIds ids = Disc();
  AccurateRipRecord record;
  record.pressings.push_back({ids.id1, ids.id2, ids.cddb,
                              {{12, 0x11111111, 0xa1}, {11, 0x22222222, 0xa2}, {12, 0x33333333, 0xa3}}});
  record.pressings.push_back({ids.id1, ids.id2, ids.cddb,
                              {{3, 0x44444444, 0xb1}, {3, 0x55555555, 0xb2}, {2, 0x66666666, 0xb3}}});
  record.pressings.push_back({0x01020304, 0x05060708, 0x090a0b0c, {{7, 0x77777777, 0xc1}}});
  return record;
}

AccurateRipRequest Request(const std::string& server) {
  AccurateRipRequest request;
  request.server = server;
  request.ids = Disc();
  request.timeout = milliseconds(2000);
  request.deadline = milliseconds(5000);
  return request;
}

// Loopback port nobody listens on at the moment (bound, read, closed).
std::uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string Local(std::uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

std::string KindName(Kind kind) {
  switch (kind) {
    case Kind::Found: return "Found";
    case Kind::NotInDatabase: return "NotInDatabase";
    case Kind::Failed: return "Failed";
    case Kind::Cancelled: return "Cancelled";
  }
  return "?";
}

}  // namespace

// Catches a wrong path or id formatting, pressings dropped (also those of another layout,
// which verification filters), a slash ending the server doubled, and a request that does
// not name the program and its version.
TEST(AccurateRipLookup, RecordIsFetchedAndEveryPressingKept) {
  FakeAccurateRipServer server;
  server.ServeRecord(Disc(), Record());
  const AccurateRipLookupResult result = LookUpAccurateRip(Request(server.Url() + "/"));
  ASSERT_EQ(KindName(result.kind), "Found") << result.problem;
  EXPECT_EQ(result.url, server.Url() + "/accuraterip/7/d/4/dBAR-003-0002c4d7-0017e2a9-1d0aa403.bin");
  EXPECT_EQ(result.problem, "");
  ASSERT_EQ(result.record.pressings.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(result.record.pressings[i], Record().pressings[i]) << i;

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/accuraterip/7/d/4/dBAR-003-0002c4d7-0017e2a9-1d0aa403.bin");
  EXPECT_NE(requests[0].head.find("\r\nUser-Agent: zbmaker/" + std::string(kZimbarVersion) + "\r\n"),
            std::string::npos) << requests[0].head;

  // The verdicts of the fetched record: the first pressing matches track 2 with its own
  // confidence, out of both pressings' confidences of that track.
  const AccurateRipVerdict verdict = VerifyAccurateRip(result.record, Disc(), 1, {0x22222222, 0x12345678});
  EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::Accurate);
  EXPECT_EQ(verdict.confidence, 11);
}

// Catches a record built by the fake from a rip's checksums that does not verify that rip
// once fetched (what the end-to-end tests of rips rely on): pressings of v1 and of v2
// entries both count, a changed sample matches neither.
TEST(AccurateRipLookup, PressingsOfARipVerifyItAfterTheRoundTrip) {
  const AccurateRipDiscIds ids = Disc();
  std::vector<std::vector<uint32_t>> tracks;
  std::vector<AccurateRipSums> sums;
  for (int t = 0; t < ids.audioTracks; ++t) {
    std::vector<uint32_t> frames(6000 + 333 * static_cast<std::size_t>(t));
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<uint32_t>(i * 2654435761u + t);
    sums.push_back(AccurateRipChecksums(frames, t == 0, t + 1 == ids.audioTracks));
    tracks.push_back(std::move(frames));
  }
  AccurateRipRecord record;
  record.pressings.push_back(FakeAccurateRipPressing(ids, sums, 5, /*v2=*/false));
  record.pressings.push_back(FakeAccurateRipPressing(ids, sums, 7));
  FakeAccurateRipServer server;
  server.ServeRecord(ids, record);
  const AccurateRipLookupResult result = LookUpAccurateRip(Request(server.Url()));
  ASSERT_EQ(KindName(result.kind), "Found") << result.problem;
  for (int t = 0; t < ids.audioTracks; ++t) {
    const AccurateRipVerdict verdict = VerifyAccurateRip(result.record, ids, t, sums[static_cast<std::size_t>(t)]);
    EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::Accurate) << t;
    EXPECT_EQ(verdict.confidence, 12) << t;
    EXPECT_EQ(verdict.version, 2) << t;
  }
  tracks[1][3000] ^= 1;
  const AccurateRipSums changed = AccurateRipChecksums(tracks[1], false, false);
  EXPECT_EQ(VerifyAccurateRip(result.record, ids, 1, changed).kind, AccurateRipVerdict::Kind::NotAccurate);
}

// Catches a disc the database does not know taken for a failure (it is a plain answer)
// or for an empty record.
TEST(AccurateRipLookup, UnknownDiscIsNotInTheDatabase) {
  FakeAccurateRipServer server;
  AccurateRipDiscIds other = Disc();
  other.id1 += 1;
  server.ServeRecord(other, Record());
  const AccurateRipLookupResult result = LookUpAccurateRip(Request(server.Url()));
  EXPECT_EQ(KindName(result.kind), "NotInDatabase") << result.problem;
  EXPECT_EQ(result.problem, "");
  EXPECT_TRUE(result.record.pressings.empty());
}

// Catches failures reported without the server's host or in a transfer library's words,
// a damaged or empty record taken for a record, a reply past the cap read whole, another
// status taken for "not in the database", and an unusable address or a closed server
// ending in anything but a failure.
TEST(AccurateRipLookup, FailuresSayWhatHappenedAndNameTheServer) {
  const std::string good = EncodeAccurateRipRecord(Record());
  const std::string path = Disc().RecordPath();
  const std::uint16_t closedPort = FreeLoopbackPort();
  struct Case {
    std::string name;
    std::function<void(FakeAccurateRipServer&, AccurateRipRequest&)> setUp;
    std::string problem;  // the whole text, or its start when it ends in "..."
  };
  const Case cases[] = {
      {"refused", [&](auto&, auto& r) { r.server = FakeAccurateRipServerDownUrl(); },
       "Cannot reach 127.0.0.1: connection refused"},
      {"proxy refused",
       [&](auto&, auto& r) {
         r.server = "http://accuraterip.example.invalid";
         r.httpProxy = Local(closedPort);
       },
       "Cannot reach accuraterip.example.invalid through the proxy " + Local(closedPort) + ": connection refused"},
      {"server error", [&](auto& s, auto&) { s.Serve(path, "busy", 503); },
       "127.0.0.1 reported an error (HTTP/1.1 503 Service Unavailable)"},
      {"forbidden", [&](auto& s, auto&) { s.Serve(path, good, 403); },
       "127.0.0.1 reported an error (HTTP/1.1 403 Forbidden)"},
      {"damaged", [&](auto& s, auto&) { s.Serve(path, good.substr(0, good.size() - 4)); },
       "The AccurateRip record from 127.0.0.1 is damaged: ..."},
      {"empty", [&](auto& s, auto&) { s.Serve(path, ""); }, "The AccurateRip record from 127.0.0.1 is empty"},
      {"too large",
       [&](auto& s, auto& r) {
         s.Serve(path, good + good);
         r.maxReplyBytes = good.size();
       },
       "The reply of 127.0.0.1 is too large for an AccurateRip record (over " + std::to_string(good.size()) +
           " bytes)"},
      {"closed at once", [&](auto& s, auto&) { s.SetMode(FakeServerMode::CloseAtOnce); },
       "The connection to 127.0.0.1 failed: ..."},
      // An https address is used, and a server that speaks no TLS is a failed connection.
      {"https to a plain server", [&](auto& s, auto& r) { r.server = "https://" + Local(s.Port()); },
       "The connection to 127.0.0.1 failed: ..."},
      {"not http", [&](auto&, auto& r) { r.server = "ftp://127.0.0.1"; },
       "\"ftp://127.0.0.1\" is no server address this lookup can use"},
      {"no tracks", [&](auto&, auto& r) { r.ids.audioTracks = 0; }, "The disc has no audio track to look up"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAccurateRipServer server;
    AccurateRipRequest request = Request(server.Url());
    c.setUp(server, request);
    const AccurateRipLookupResult result = LookUpAccurateRip(request);
    EXPECT_EQ(KindName(result.kind), "Failed");
    if (c.problem.ends_with("...")) {
      EXPECT_EQ(result.problem.rfind(c.problem.substr(0, c.problem.size() - 3), 0), 0u) << result.problem;
      EXPECT_GT(result.problem.size(), c.problem.size()) << result.problem;
    } else {
      EXPECT_EQ(result.problem, c.problem);
    }
    EXPECT_TRUE(result.record.pressings.empty());
  }
}

// Catches a server that never answers, or answers a byte now and then, holding the rip
// past the request's limits, and the words naming the wrong limit: the silence limit for
// a silent server, the whole transfer's for a trickling one.
TEST(AccurateRipLookup, SlowServerEndsAtItsTimeLimit) {
  {
    FakeAccurateRipServer server(FakeServerMode::Stall);
    AccurateRipRequest request = Request(server.Url());
    request.timeout = milliseconds(1000);
    request.deadline = milliseconds(20000);
    const auto start = Clock::now();
    const AccurateRipLookupResult result = LookUpAccurateRip(request);
    EXPECT_EQ(KindName(result.kind), "Failed");
    EXPECT_EQ(result.problem, "127.0.0.1 did not answer within 1 second");
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
    EXPECT_EQ(server.Requests().size(), 1u);
  }
  {
    FakeAccurateRipServer server(FakeServerMode::Trickle);
    AccurateRipRequest request = Request(server.Url());
    request.timeout = milliseconds(3000);
    request.deadline = milliseconds(1000);
    const auto start = Clock::now();
    const AccurateRipLookupResult result = LookUpAccurateRip(request);
    EXPECT_EQ(KindName(result.kind), "Failed");
    EXPECT_EQ(result.problem, "127.0.0.1 did not answer within 1 second");
    EXPECT_LT(Clock::now() - start, milliseconds(3000));
  }
  // A slow server that answers within the limits is waited for.
  FakeAccurateRipServer server;
  server.ServeRecord(Disc(), Record());
  server.SetDelay(milliseconds(300));
  EXPECT_EQ(KindName(LookUpAccurateRip(Request(server.Url())).kind), "Found");
}

// Catches a cancel that waits for the network (or for the time limit) instead of being
// seen within about 100 ms, and a cancel given before the start still asking the server.
TEST(AccurateRipLookup, CancelEndsTheWaitAtOnce) {
  FakeAccurateRipServer server(FakeServerMode::Stall);
  AccurateRipRequest request = Request(server.Url());
  request.timeout = milliseconds(20000);
  request.deadline = milliseconds(30000);
  std::atomic<bool> cancel{false};
  std::atomic<Clock::rep> cancelledAt{0};
  std::thread canceller([&] {
    // Once the request is at the server, the lookup is waiting for the answer.
    if (server.WaitForRequests(1, milliseconds(10000))) {
      cancelledAt = Clock::now().time_since_epoch().count();
      cancel = true;
    }
  });
  const AccurateRipLookupResult result = LookUpAccurateRip(request, [&] { return cancel.load(); });
  const auto endedAt = Clock::now();
  canceller.join();
  EXPECT_EQ(KindName(result.kind), "Cancelled");
  ASSERT_TRUE(cancel);
  const auto waited = endedAt - Clock::time_point(Clock::duration(cancelledAt.load()));
  // About 100 ms; the margin is for a loaded machine.
  EXPECT_LT(waited, milliseconds(600));

  FakeAccurateRipServer untouched;
  EXPECT_EQ(KindName(LookUpAccurateRip(Request(untouched.Url()), [] { return true; }).kind), "Cancelled");
  EXPECT_TRUE(untouched.Requests().empty());
}

// Catches the HTTP proxy not used (the server's name does not even resolve here), or used
// with a request a proxy cannot forward (no absolute URL).
TEST(AccurateRipLookup, HttpProxyCarriesTheRequest) {
  FakeAccurateRipServer proxy;
  proxy.ServeRecord(Disc(), Record());
  AccurateRipRequest request = Request("http://accuraterip.example.invalid");
  request.httpProxy = Local(proxy.Port());
  const AccurateRipLookupResult result = LookUpAccurateRip(request);
  ASSERT_EQ(KindName(result.kind), "Found") << result.problem;
  EXPECT_EQ(result.record.pressings.size(), 3u);
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, "http://accuraterip.example.invalid" + Disc().RecordPath());
}

// Catches a request that a real HTTP proxy does not forward.
TEST(AccurateRipLookup, ThroughTinyproxy) {
  std::string binary;
  for (const char* folder : {"/usr/bin", "/usr/sbin", "/usr/local/bin", "/usr/local/sbin"}) {
    if (::access((std::string(folder) + "/tinyproxy").c_str(), X_OK) == 0) binary = std::string(folder) + "/tinyproxy";
  }
  if (binary.empty()) GTEST_SKIP() << "tinyproxy is not installed; the real proxy path is not tested";
  TempDir dir;
  const std::uint16_t port = FreeLoopbackPort();
  const std::string config = dir.File("tinyproxy.conf");
  std::ofstream(config) << "Port " << port << "\nListen 127.0.0.1\nTimeout 10\nMaxClients 5\nAllow 127.0.0.1\n";
  const std::string log = dir.File("tinyproxy.log");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<std::string> argv{binary, "-d", "-c", config};
  std::vector<char*> args;
  for (std::string& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  FakeAccurateRipServer server;
  server.ServeRecord(Disc(), Record());
  AccurateRipRequest request = Request(server.Url());
  request.httpProxy = Local(port);
  // The proxy listens a moment after its start: until then the lookup is refused.
  AccurateRipLookupResult result;
  for (int attempt = 0; attempt < 50; ++attempt) {
    result = LookUpAccurateRip(request);
    if (result.problem.find("connection refused") == std::string::npos) break;
    std::this_thread::sleep_for(milliseconds(100));
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  ASSERT_EQ(KindName(result.kind), "Found") << result.problem;
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].head.find("\r\nVia: "), std::string::npos) << server.Requests()[0].head;
}

// Catches the environment's server not winning over the setting (tests and mirrors rely
// on it), an empty variable taken for a server, and an empty setting left empty.
TEST(AccurateRipLookup, ServerFromTheEnvironmentWins) {
  {
    ScopedEnv server("ZIMBAR_ACCURATERIP_SERVER", "http://127.0.0.1:4711");
    EXPECT_EQ(AccurateRipServerFromEnvironment("http://mirror.example.org"), "http://127.0.0.1:4711");
  }
  {
    ScopedEnv empty("ZIMBAR_ACCURATERIP_SERVER", "");
    EXPECT_EQ(AccurateRipServerFromEnvironment("http://mirror.example.org"), "http://mirror.example.org");
  }
  ScopedEnv none("ZIMBAR_ACCURATERIP_SERVER", nullptr);
  EXPECT_EQ(AccurateRipServerFromEnvironment("http://mirror.example.org"), "http://mirror.example.org");
  EXPECT_EQ(AccurateRipServerFromEnvironment(""), "http://www.accuraterip.com");
}

// Catches the server program (what runs of zbmaker and benchmarks start) not serving the
// files it was given, not answering with the status asked for, or taking a bad argument.
TEST(AccurateRipLookup, ServerProgramServesTheGivenFiles) {
  TempDir dir;
  const std::string file = dir.File("record.bin");
  std::ofstream(file, std::ios::binary) << EncodeAccurateRipRecord(Record());
  {
    FakeAccurateRipServerProcess process;
    ASSERT_TRUE(process.Start({Disc().RecordPath() + "=" + file}, dir.Path())) << dir.File("log.txt");
    const AccurateRipLookupResult found = LookUpAccurateRip(Request(process.Url()));
    ASSERT_EQ(KindName(found.kind), "Found") << found.problem;
    EXPECT_EQ(found.record.pressings.size(), 3u);
    AccurateRipRequest other = Request(process.Url());
    other.ids.id2 += 1;
    EXPECT_EQ(KindName(LookUpAccurateRip(other).kind), "NotInDatabase");
  }
  {
    FakeAccurateRipServerProcess process;
    ASSERT_TRUE(process.Start({"--status", "500", Disc().RecordPath() + "=" + file}, dir.Path()));
    EXPECT_EQ(LookUpAccurateRip(Request(process.Url())).problem,
              "127.0.0.1 reported an error (HTTP/1.1 500 Internal Server Error)");
  }
  FakeAccurateRipServerProcess refused;
  EXPECT_FALSE(refused.Start({"/path=" + dir.File("missing.bin")}, dir.Path()));
  EXPECT_FALSE(refused.Start({"--bogus"}, dir.Path()));
}
