// CddbLookup against CDDB servers and proxies on 127.0.0.1.
#include "maker/metadata/cddb_lookup.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "loopback_server.h"

namespace {

using std::chrono::milliseconds;

const char kQuery200[] = "200 rock 06019002 Some Artist / Some Album\r\n";
const char kRead210[] =
    "210 rock 06019002 CD database entry follows (until terminating `.')\r\n"
    "# xmcd\r\nDISCID=06019002\r\nDTITLE=Some Artist / Some Album\r\n"
    "TTITLE0=Intro\r\nTTITLE1=Caf\xE9\r\nEXTD=\r\n.\r\n";
const char kHttpQuery[] =
    "GET /~cddb/cddb.cgi?cmd=cddb+query+06019002+2+150+15150+402"
    "&hello=tester+test.local+zimbar+1.1&proto=1 HTTP/1.0\r\n\r\n";
const char kHttpRead[] =
    "GET /~cddb/cddb.cgi?cmd=cddb+read+rock+06019002"
    "&hello=tester+test.local+zimbar+1.1&proto=1 HTTP/1.0\r\n\r\n";
const char kCddbpCommands[] =
    "cddb hello tester test.local zimbar 1.1\r\n"
    "cddb query 06019002 2 150 15150 402\r\n"
    "cddb read rock 06019002\r\n";

class RecordingHost : public CddbLookupHost {
 public:
  int CddbProgress(CddbStage stage, std::string_view) override {
    stages.push_back(static_cast<int>(stage));
    return static_cast<int>(stage) == cancelAt ? 1 : 0;
  }
  int CddbChooseMatch(const std::vector<std::string>& offered) override {
    matches = offered;
    return choice;
  }
  int cancelAt = -1;
  int choice = 0;
  std::vector<int> stages;
  std::vector<std::string> matches;
};

CddbScript GoodScript() {
  CddbScript script;
  script.queryReply = kQuery200;
  script.readReply = kRead210;
  return script;
}

CddbRequest Request(const std::string& server) {
  CddbRequest request;
  request.server = server;
  request.disc = DiscLayout{2, {0, 15000, 30000}};
  request.user = "tester";
  request.host = "test.local";
  request.timeout = milliseconds(2000);
  return request;
}

std::string Cddbp(const LoopbackServer& server) {
  return "cddbp://127.0.0.1:" + std::to_string(server.Port());
}
std::string Http(const LoopbackServer& server) {
  return "http://127.0.0.1:" + std::to_string(server.Port());
}

void ExpectGoodOutputs(const CddbOutputs& out) {
  EXPECT_EQ(out.artist, "Some Artist");
  EXPECT_EQ(out.title, "Some Album");
  EXPECT_EQ(out.category, "rock");
  EXPECT_EQ(out.trackNames, "Intro\nCaf\xC3\xA9\n");
}

// Catches: wrong command bytes (offsets without pre-gap, hex case, hello order) or a
// misparsed reply over cddbp.
TEST(CddbLookup, CddbpSendsExactCommandsAndFillsOutputs) {
  LoopbackServer server(CddbpHandler(GoodScript()));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(Request(Cddbp(server)), host, out), kCddbOk);
  ExpectGoodOutputs(out);
  EXPECT_EQ(server.Transcripts().at(0), kCddbpCommands);
  EXPECT_EQ(host.stages, (std::vector<int>{0, 1, 2, 3}));
}

// Catches: wrong request lines over HTTP, extra headers, or the read sent on the query's
// connection.
TEST(CddbLookup, HttpSendsExactRequestsOnTwoConnections) {
  LoopbackServer server(CddbHttpHandler(GoodScript()));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(Request(Http(server)), host, out), kCddbOk);
  ExpectGoodOutputs(out);
  const auto transcripts = server.Transcripts();
  ASSERT_EQ(transcripts.size(), 2u);
  EXPECT_EQ(transcripts[0], kHttpQuery);
  EXPECT_EQ(transcripts[1], kHttpRead);
  EXPECT_EQ(host.stages, (std::vector<int>{0, 2, 3}));
}

// Catches: the proxy form of the request (absolute URL prefix) missing.
TEST(CddbLookup, HttpProxyGetsTheServerAddressAsPrefix) {
  LoopbackServer proxy(CddbHttpHandler(GoodScript()));
  CddbRequest request = Request("http://cddb.example.invalid:80");
  request.httpProxy = "127.0.0.1:" + std::to_string(proxy.Port());
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(request, host, out), kCddbOk);
  const auto transcripts = proxy.Transcripts();
  ASSERT_EQ(transcripts.size(), 2u);
  EXPECT_EQ(transcripts[0], "GET http://cddb.example.invalid:80" + std::string(kHttpQuery + 4));
  EXPECT_EQ(transcripts[1], "GET http://cddb.example.invalid:80" + std::string(kHttpRead + 4));
}

// Catches: the SOCKS request missing or carrying the wrong target.
TEST(CddbLookup, CddbpThroughSocks4SendsRequestThenCommands) {
  LoopbackServer proxy(Socks4Front(CddbpHandler(GoodScript())));
  CddbRequest request = Request("cddbp://127.0.0.1:8880");
  request.socksProxy = "127.0.0.1:" + std::to_string(proxy.Port());
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(request, host, out), kCddbOk);
  ExpectGoodOutputs(out);
  const std::string socks("\x04\x01\x22\xB0\x7F\x00\x00\x01nobody\x00", 15);
  EXPECT_EQ(proxy.Transcripts().at(0), socks + kCddbpCommands);
}

// Catches: inexact matches not offered, the choice ignored, or the list left unread so
// that its lines are taken as the read reply.
TEST(CddbLookup, InexactMatchesAreOfferedAndTheChosenOneIsRead) {
  CddbScript script = GoodScript();
  script.queryReply =
      "211 Found inexact matches, list follows (until terminating `.')\r\n"
      "rock 06019002 Some Artist / Some Album\r\n"
      "jazz 0601900a Other Artist / Other Album\r\n.\r\n";
  script.readReply = "210 jazz 0601900a\r\nTTITLE0=X\r\n.\r\n";
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(http ? CddbHttpHandler(script) : CddbpHandler(script));
    RecordingHost host;
    host.choice = 1;
    CddbOutputs out;
    ASSERT_EQ(CddbLookup(Request(http ? Http(server) : Cddbp(server)), host, out), kCddbOk);
    ASSERT_EQ(host.matches.size(), 2u);
    EXPECT_EQ(host.matches[1], "jazz 0601900a Other Artist / Other Album");
    EXPECT_EQ(out.category, "jazz");
    EXPECT_EQ(out.artist, "Other Artist");
    EXPECT_EQ(out.title, "Other Album");
    EXPECT_EQ(out.trackNames, "X\n");
    const auto transcripts = server.Transcripts();
    EXPECT_NE(transcripts.back().find(http ? "cmd=cddb+read+jazz+0601900a&" : "cddb read jazz 0601900a\r\n"),
              std::string::npos);
  }
}

// Catches: declining the choice not treated as a cancel.
TEST(CddbLookup, DecliningTheMatchChoiceCancels) {
  CddbScript script = GoodScript();
  script.queryReply = "211 inexact\r\nrock 06019002 A / B\r\nrock 06019003 C / D\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  RecordingHost host;
  host.choice = -1;
  CddbOutputs out;
  EXPECT_EQ(CddbLookup(Request(Cddbp(server)), host, out), kCddbCancelled);
}

// Catches: a title missing from the query line not taken from DTITLE, or long titles not
// cut to the output buffers.
TEST(CddbLookup, TitleComesFromEntryWhenQueryLineHasNoSlash) {
  CddbScript script = GoodScript();
  script.queryReply = "200 misc 06019002 Whole Line Artist\r\n";
  script.readReply = "210 misc 06019002\r\nDTITLE=Whole Line Artist / " + std::string(300, 'T') +
                     "\r\nTTITLE0=One\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(Request(Cddbp(server)), host, out), kCddbOk);
  EXPECT_EQ(out.artist, "Whole Line Artist");
  EXPECT_EQ(out.title, std::string(127, 'T'));
}

struct FailureCase {
  const char* name;
  bool http;
  CddbScript script;
  int expected;
  const char* lastReply;
};

// Catches: a failure reported with the wrong code (and so the wrong text), a silent
// server hanging the lookup, or the server's own reply line not kept for the log.
TEST(CddbLookup, EachServerFailureHasItsCode) {
  CddbScript s = GoodScript();
  auto with = [&](auto change) {
    CddbScript copy = s;
    change(copy);
    return copy;
  };
  const std::string stall(kStall);
  const std::vector<FailureCase> cases = {
      {"greeting 200", false, with([](CddbScript& c) { c.greeting = "200 wrong\r\n"; }),
       kCddbConnectError, "200 wrong"},
      {"silent greeting", false, with([&](CddbScript& c) { c.greeting = stall; }),
       kCddbNoConnectReply, ""},
      {"hello refused", false, with([](CddbScript& c) { c.helloReply = "431 no\r\n"; }),
       kCddbLogInError, "431 no"},
      {"silent hello", false, with([&](CddbScript& c) { c.helloReply = stall; }),
       kCddbNoLogInReply, "201 test.local CDDBP server v1.5 ready"},
      {"no match", false,
       with([](CddbScript& c) { c.queryReply = "202 No match for disc ID 06019002.\r\n"; }),
       kCddbQueryError, "202 No match for disc ID 06019002."},
      {"silent query", false, with([&](CddbScript& c) { c.queryReply = stall; }),
       kCddbNoQueryReply, "200 Hello and welcome"},
      {"malformed match", false, with([](CddbScript& c) { c.queryReply = "200 rock\r\n"; }),
       kCddbQueryError, "200 rock"},
      {"211 without list", false, with([&](CddbScript& c) { c.queryReply = "211 x\r\n" + stall; }),
       kCddbNoQueryReply, "211 x"},
      {"read refused", false, with([](CddbScript& c) { c.readReply = "401 not found\r\n"; }),
       kCddbReadError, "401 not found"},
      {"silent read", false, with([&](CddbScript& c) { c.readReply = stall; }),
       kCddbNoReadReply, "200 rock 06019002 Some Artist / Some Album"},
      {"entry cut off", false,
       with([](CddbScript& c) { c.readReply = "210 rock 06019002\r\nTTITLE0=A\r\n"; }),
       kCddbCannotReadInfo, "TTITLE0=A"},
      {"http 404", true,
       with([](CddbScript& c) { c.httpStatus = "HTTP/1.0 404 Not Found\r\n\r\n"; }),
       kCddbQueryError, "HTTP/1.0 404 Not Found"},
      {"http no match", true, with([](CddbScript& c) { c.queryReply = "202 No match\r\n"; }),
       kCddbQueryError, "202 No match"},
      {"http silent read", true, with([&](CddbScript& c) { c.readReply = stall; }),
       kCddbNoReadReply, ""},
      {"http read refused", true, with([](CddbScript& c) { c.readReply = "402 no\r\n"; }),
       kCddbReadError, "402 no"},
  };
  for (const auto& failure : cases) {
    SCOPED_TRACE(failure.name);
    LoopbackServer server(failure.http ? CddbHttpHandler(failure.script)
                                       : CddbpHandler(failure.script));
    CddbRequest request = Request(failure.http ? Http(server) : Cddbp(server));
    request.timeout = milliseconds(300);
    RecordingHost host;
    CddbOutputs out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CddbLookup(request, host, out), failure.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    if (failure.lastReply[0] != '\0') {
      EXPECT_EQ(out.lastReply, failure.lastReply);
    }
  }
}

// Catches: bad addresses, refused or unanswered connects and bad tables reported with the
// wrong code or hanging.
TEST(CddbLookup, AddressAndConnectFailuresHaveTheirCodes) {
  RecordingHost host;
  CddbOutputs out;
  EXPECT_EQ(CddbLookup(Request("ftp://127.0.0.1:1"), host, out), kCddbInvalidServerUrl);
  EXPECT_EQ(CddbLookup(Request("cddbp://999.0.0.1:888"), host, out), kCddbNoServerAddress);
  CddbRequest badSocks = Request("cddbp://127.0.0.1:888");
  badSocks.socksProxy = "300.0.0.1";
  EXPECT_EQ(CddbLookup(badSocks, host, out), kCddbNoServerAddress);
  EXPECT_EQ(CddbLookup(Request("cddbp://127.0.0.1:" + std::to_string(FreeLoopbackPort())),
                       host, out),
            kCddbCannotConnect);

  LoopbackServer unanswering(nullptr, /*fillBacklog=*/true);
  CddbRequest hanging = Request("http://127.0.0.1:" + std::to_string(unanswering.Port()));
  hanging.timeout = milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CddbLookup(hanging, host, out), kCddbCannotConnect);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  LoopbackServer refusingProxy(Socks4Front(nullptr, /*status=*/91));
  CddbRequest refused = Request("cddbp://127.0.0.1:888");
  refused.socksProxy = "127.0.0.1:" + std::to_string(refusingProxy.Port());
  EXPECT_EQ(CddbLookup(refused, host, out), kCddbCannotConnect);

  LoopbackServer silentProxy([](TestConnection& c) { c.Stall(); });
  CddbRequest silent = Request("cddbp://127.0.0.1:888");
  silent.socksProxy = "127.0.0.1:" + std::to_string(silentProxy.Port());
  silent.timeout = milliseconds(300);
  EXPECT_EQ(CddbLookup(silent, host, out), kCddbCannotConnect);

  CddbRequest badTable = Request("cddbp://127.0.0.1:888");
  badTable.disc = DiscLayout{2, {0, 100}};
  EXPECT_EQ(CddbLookup(badTable, host, out), kCddbInvalidTrackTable);
}

// Catches: a cancel at a stage not stopping the exchange before that stage's command.
TEST(CddbLookup, CancelAtEachStageStopsBeforeItsCommand) {
  const std::vector<std::string> sentBefore = {
      "", "", "cddb hello tester test.local zimbar 1.1\r\n",
      "cddb hello tester test.local zimbar 1.1\r\ncddb query 06019002 2 150 15150 402\r\n"};
  for (int stage = 0; stage < 4; ++stage) {
    SCOPED_TRACE(stage);
    LoopbackServer server(CddbpHandler(GoodScript()));
    RecordingHost host;
    host.cancelAt = stage;
    CddbOutputs out;
    EXPECT_EQ(CddbLookup(Request(Cddbp(server)), host, out), kCddbCancelled);
    EXPECT_EQ(host.stages.back(), stage);
    // Give the server time to record what reached it.
    std::this_thread::sleep_for(milliseconds(50));
    const auto transcripts = server.Transcripts();
    if (stage == 0) {
      EXPECT_TRUE(transcripts.empty());
    } else {
      ASSERT_FALSE(transcripts.empty());
      EXPECT_EQ(transcripts[0], sentBefore[stage]);
    }
  }
}

// Catches: outputs of an earlier lookup surviving into a failed one.
TEST(CddbLookup, OutputsAreClearedAtTheStart) {
  RecordingHost host;
  CddbOutputs out;
  out.title = "old";
  out.trackNames = "old\n";
  EXPECT_EQ(CddbLookup(Request("bogus"), host, out), kCddbInvalidServerUrl);
  EXPECT_EQ(out.title, "");
  EXPECT_EQ(out.trackNames, "");
}

// Catches: names landing on the wrong rows, the year overwritten, or later rows wiped.
TEST(CddbLookup, ApplyingOutputsFillsRowsInOrderAndKeepsTheYear) {
  CdInfo info;
  info.year = "1999";
  info.SetTrackName(3, "kept");
  CddbOutputs out;
  out.title = "T";
  out.artist = "A";
  out.category = "rock";
  out.trackNames = "one\ntwo\n";
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.title, "T");
  EXPECT_EQ(info.artist, "A");
  EXPECT_EQ(info.genre, "rock");
  EXPECT_EQ(info.year, "1999");
  EXPECT_EQ(info.TrackName(1), "one");
  EXPECT_EQ(info.TrackName(2), "two");
  EXPECT_EQ(info.TrackName(3), "kept");
}

// Catches: texts of the result table changed.
TEST(CddbLookup, ResultTextsAndRequestFromCdInfo) {
  EXPECT_EQ(CddbResultText(kCddbInvalidServerUrl), "Invalid Server URL");
  EXPECT_EQ(CddbResultText(kCddbCannotSendRead), "Cannot send info request reply");
  EXPECT_EQ(CddbResultText(kCddbOk), "");
  EXPECT_EQ(CddbStageText(CddbStage::Reading), "Requesting CD info from the CDDB server...");
  CdInfo info;
  info.cddbServer = "cddbp://h:1";
  info.httpProxy = "p:2";
  info.useHttpProxy = true;
  info.socksProxy = "s:3";
  const auto request = MakeCddbRequest(info, DiscLayout{1, {0, 100}}, "u", "h");
  EXPECT_EQ(request.httpProxy, "");  // not an http server
  EXPECT_EQ(request.socksProxy, "");  // box not checked
}

// --- Real proxies started by the test on loopback ports. ---

// A folder for a proxy's configuration and log; removed after a passing test, kept for
// diagnosis after a failure.
class ProxyFolder {
 public:
  ProxyFolder() {
    char pattern[] = "/tmp/zb_cddb_proxyXXXXXX";
    if (const char* made = ::mkdtemp(pattern)) path_ = made;
  }
  ~ProxyFolder() {
    if (!path_.empty() && !::testing::Test::HasFailure()) std::filesystem::remove_all(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Catches: requests that a real HTTP proxy cannot forward (malformed absolute URL).
TEST(CddbLookupProxies, HttpLookupThroughTinyproxy) {
  const std::string binary = FindProgram("tinyproxy");
  if (binary.empty()) GTEST_SKIP() << "tinyproxy is not installed; HTTP proxy path not tested";
  LoopbackServer server(CddbHttpHandler(GoodScript()));
  ProxyFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  const std::string& dir = folder.Path();
  const std::uint16_t port = FreeLoopbackPort();
  {
    std::ofstream config(dir + "/tinyproxy.conf");
    config << "Port " << port << "\nListen 127.0.0.1\nTimeout 10\nMaxClients 5\n"
           << "Allow 127.0.0.1\nLogLevel Info\n";
  }
  ChildProcess proxy;
  ASSERT_TRUE(proxy.Start({binary, "-d", "-c", dir + "/tinyproxy.conf"}, dir + "/tinyproxy.log"));
  ASSERT_TRUE(proxy.WaitForListen(port, 5000)) << "tinyproxy did not start; see " << dir;
  CddbRequest request = Request(Http(server));
  request.httpProxy = "127.0.0.1:" + std::to_string(port);
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbLookup(request, host, out), kCddbOk) << out.lastReply;
  ExpectGoodOutputs(out);
  const auto transcripts = server.Transcripts();
  ASSERT_EQ(transcripts.size(), 2u);
  const std::string firstLine = std::string(kHttpQuery).substr(0, std::string(kHttpQuery).find("\r\n"));
  EXPECT_EQ(transcripts[0].rfind(firstLine, 0), 0u) << transcripts[0];
}

// Catches: a SOCKS 4 request that a real proxy rejects, for both transports.
TEST(CddbLookupProxies, LookupsThroughDanteSocks4) {
  const std::string binary = FindProgram("danted");
  if (binary.empty()) GTEST_SKIP() << "danted (dante-server) is not installed; SOCKS path not tested";
  ProxyFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  const std::string& dir = folder.Path();
  const std::uint16_t port = FreeLoopbackPort();
  // The proxy runs as the test's own user.
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  const std::string userName = account->pw_name;
  {
    std::ofstream config(dir + "/danted.conf");
    config << "logoutput: stderr\ninternal: 127.0.0.1 port = " << port
           << "\nexternal: 127.0.0.1\nclientmethod: none\nsocksmethod: none\n"
           << "user.privileged: " << userName << "\nuser.unprivileged: " << userName << "\n"
           << "client pass {\n  from: 127.0.0.1/32 to: 0.0.0.0/0\n}\n"
           << "socks pass {\n  from: 127.0.0.1/32 to: 127.0.0.1/32\n  command: connect\n}\n";
  }
  ChildProcess proxy;
  ASSERT_TRUE(proxy.Start({binary, "-f", dir + "/danted.conf", "-p", dir + "/danted.pid", "-N", "1"},
                          dir + "/danted.log"));
  ASSERT_TRUE(proxy.WaitForListen(port, 5000)) << "danted did not start; see " << dir;
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(http ? CddbHttpHandler(GoodScript()) : CddbpHandler(GoodScript()));
    CddbRequest request = Request(http ? Http(server) : Cddbp(server));
    request.socksProxy = "127.0.0.1:" + std::to_string(port);
    RecordingHost host;
    CddbOutputs out;
    ASSERT_EQ(CddbLookup(request, host, out), kCddbOk) << out.lastReply;
    ExpectGoodOutputs(out);
    if (!http) {
      EXPECT_EQ(server.Transcripts().at(0), kCddbpCommands);
    }
  }
}

}  // namespace
