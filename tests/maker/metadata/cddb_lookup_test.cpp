// CddbLookup against CDDB servers and proxies on 127.0.0.1.
#include "maker/metadata/cddb_lookup.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "loopback_server.h"
#include "maker/metadata/cddb_reply.h"

namespace {

using std::chrono::milliseconds;

const char kQuery200[] = "200 rock 06019002 Some Artist / Some Album\r\n";
const char kRead210[] =
    "210 rock 06019002 CD database entry follows (until terminating `.')\r\n"
    "# xmcd\r\nDISCID=06019002\r\nDTITLE=Some Artist / Some Album\r\n"
    "TTITLE0=Intro\r\nTTITLE1=Caf\xE9\r\nEXTD=\r\n.\r\n";
const std::string kHello = "cddb hello tester test.local zimbar " + std::string(kZimbarVersion) + "\r\nproto 6\r\n";
const std::string kQuery = "cddb query 06019002 2 150 15150 402\r\n";
const std::string kCddbpCommands = kHello + kQuery + "cddb read rock 06019002\r\n";
const std::string kHttpTail =
    "&hello=tester+test.local+zimbar+" + std::string(kZimbarVersion) + "&proto=6 HTTP/1.0\r\n\r\n";
const std::string kHttpQuery = "/~cddb/cddb.cgi?cmd=cddb+query+06019002+2+150+15150+402" + kHttpTail;
const std::string kHttpRead = "/~cddb/cddb.cgi?cmd=cddb+read+rock+06019002" + kHttpTail;

class RecordingHost : public CddbLookupHost {
 public:
  int CddbProgress(CddbStage stage, std::string_view) override {
    stages.push_back(static_cast<int>(stage));
    return static_cast<int>(stage) == cancelAt ? 1 : 0;
  }
  int CddbChooseMatch(const std::vector<CddbMatch>& offered) override {
    matches.clear();
    for (const CddbMatch& match : offered) matches.push_back(match.line);
    exact.clear();
    for (const CddbMatch& match : offered) exact.push_back(match.exact);
    std::this_thread::sleep_for(choosing);
    return choice;
  }
  bool CddbCancelRequested() override {
    return cancelAfter && std::chrono::steady_clock::now() - created > *cancelAfter;
  }
  int cancelAt = -1;
  int choice = 0;
  std::optional<milliseconds> cancelAfter;  // the cancel request comes this long after the start
  std::chrono::steady_clock::time_point created = std::chrono::steady_clock::now();
  milliseconds choosing{0};  // how long the choice among several matches takes
  std::vector<int> stages;
  std::vector<std::string> matches;
  std::vector<bool> exact;
};

CddbScript GoodScript() {
  CddbScript script;
  script.queryReply = kQuery200;
  script.readReply = kRead210;
  return script;
}

std::string Local(std::uint16_t port) { return "127.0.0.1:" + std::to_string(port); }
ConnectionHandler Handler(bool http, const CddbScript& script) {
  return http ? CddbHttpHandler(script) : CddbpHandler(script);
}
std::string Url(bool http, const LoopbackServer& server) {
  return (http ? "http://" : "cddbp://") + Local(server.Port());
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

// Good reply, with the ISO-8859-1 "Caf\xE9" converted to UTF-8.
void ExpectGoodOutputs(const CddbOutputs& out) {
  EXPECT_EQ(out.artist, "Some Artist");
  EXPECT_EQ(out.title, "Some Album");
  EXPECT_EQ(out.category, "rock");
  EXPECT_EQ(out.trackNames, "Intro\nCaf\xC3\xA9\n");
}

// Catches: wrong request bytes on any transport (offsets without the 150-sector pre-gap,
// hex case, hello order, extra headers, no absolute URL for the HTTP proxy, a missing or
// wrong SOCKS 4 target), the HTTP read sent on the query's connection, or a misparsed reply.
TEST(CddbLookup, EachTransportSendsExactRequestBytes) {
  const std::string socks("\x04\x01\x22\xB0\x7F\x00\x00\x01nobody\x00", 15);
  const std::string viaProxy = "GET http://cddb.example.invalid:80";
  struct Case {
    const char* name;
    bool http;
    std::string proxy;  // "http", "socks" or empty
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"cddbp", false, "", {kCddbpCommands}},
      {"http", true, "", {"GET " + kHttpQuery, "GET " + kHttpRead}},
      {"http proxy", true, "http", {viaProxy + kHttpQuery, viaProxy + kHttpRead}},
      {"socks 4", false, "socks", {socks + kCddbpCommands}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ConnectionHandler handler = Handler(c.http, GoodScript());
    LoopbackServer server(c.proxy == "socks" ? Socks4Front(handler) : handler);
    CddbRequest request = Request(c.proxy == "http"    ? "http://cddb.example.invalid:80"
                                  : c.proxy == "socks" ? "cddbp://127.0.0.1:8880"
                                                       : Url(c.http, server));
    if (c.proxy == "http") request.httpProxy = Local(server.Port());
    if (c.proxy == "socks") request.socksProxy = Local(server.Port());
    RecordingHost host;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(request, host, out)), kCddbOk);
    ExpectGoodOutputs(out);
    EXPECT_EQ(server.Transcripts(), c.sent);
    EXPECT_EQ(host.stages, (c.http ? std::vector<int>{0, 2, 3} : std::vector<int>{0, 1, 2, 3}));
  }
}

// Catches: inexact matches not offered, the choice ignored, the list left unread so that
// its lines are taken as the read reply, or declining the choice not treated as a cancel.
TEST(CddbLookup, InexactMatchesAreOfferedAndTheChosenOneIsRead) {
  CddbScript script = GoodScript();
  script.queryReply =
      "211 Found inexact matches, list follows (until terminating `.')\r\n"
      "rock 06019002 Some Artist / Some Album\r\n"
      "jazz 0601900a Other Artist / Other Album\r\n.\r\n";
  script.readReply = "210 jazz 0601900a\r\nTTITLE0=X\r\n.\r\n";
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(Handler(http, script));
    RecordingHost host;
    host.choice = 1;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(http, server)), host, out)), kCddbOk);
    ASSERT_EQ(host.matches.size(), 2u);
    EXPECT_EQ(host.matches[1], "jazz 0601900a Other Artist / Other Album");
    EXPECT_EQ(out.category + "|" + out.artist + "|" + out.title + "|" + out.trackNames,
              "jazz|Other Artist|Other Album|X\n");
    EXPECT_NE(server.Transcripts().back().find(http ? "cmd=cddb+read+jazz+0601900a&"
                                                    : "cddb read jazz 0601900a\r\n"),
              std::string::npos);
  }
  LoopbackServer server(CddbpHandler(script));
  RecordingHost declining;
  declining.choice = -1;
  CddbOutputs out;
  EXPECT_EQ(CddbResultCode(CddbLookup(Request(Url(false, server)), declining, out)), kCddbCancelled);
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
  ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(false, server)), host, out)), kCddbOk);
  EXPECT_EQ(out.artist, "Whole Line Artist");
  EXPECT_EQ(out.title, std::string(127, 'T'));
}

// Catches: a failure reported with the wrong code (and so the wrong text), a silent
// server hanging the lookup, or the server's own reply line not kept for the log.
TEST(CddbLookup, EachServerFailureHasItsCode) {
  const std::string stall(kStall);
  struct Case {
    const char* name;
    bool http;
    std::string CddbScript::*field;
    std::string reply;
    int expected;
    const char* lastReply;  // empty: not checked
    std::string text;       // what the failure says to a person
  };
  const std::string late = "127.0.0.1 did not answer within 1 second";
  const Case cases[] = {
      {"greeting 200", false, &CddbScript::greeting, "200 wrong\r\n", kCddbConnectError, "200 wrong",
       "127.0.0.1 does not take connections now"},
      {"silent greeting", false, &CddbScript::greeting, stall, kCddbNoConnectReply, "", late},
      {"hello refused", false, &CddbScript::helloReply, "431 no\r\n", kCddbLogInError, "431 no",
       "127.0.0.1 refused the log-in"},
      {"silent hello", false, &CddbScript::helloReply, stall, kCddbNoLogInReply,
       "201 test.local CDDBP server v1.5 ready", late},
      {"no match", false, &CddbScript::queryReply, "202 No match for disc ID 06019002.\r\n",
       kCddbNoMatch, "202 No match for disc ID 06019002.", "No match for this disc on 127.0.0.1"},
      {"silent proto", false, &CddbScript::protoReply, stall, kCddbNoLogInReply, "200 Hello and welcome", late},
      {"silent query", false, &CddbScript::queryReply, stall, kCddbNoQueryReply,
       "201 OK, CDDB protocol level now: 6", late},
      {"210 without list", false, &CddbScript::queryReply, "210 x\r\n" + stall, kCddbNoQueryReply,
       "210 x", late},
      {"malformed match", false, &CddbScript::queryReply, "200 rock\r\n", kCddbQueryError, "200 rock",
       "127.0.0.1 could not answer the query for this disc"},
      {"211 without list", false, &CddbScript::queryReply, "211 x\r\n" + stall, kCddbNoQueryReply,
       "211 x", late},
      {"read refused", false, &CddbScript::readReply, "401 not found\r\n", kCddbReadError,
       "401 not found", "127.0.0.1 could not send the entry of this disc"},
      {"silent read", false, &CddbScript::readReply, stall, kCddbNoReadReply,
       "200 rock 06019002 Some Artist / Some Album", late},
      {"entry cut off", false, &CddbScript::readReply, "210 rock 06019002\r\nTTITLE0=A\r\n",
       kCddbCannotReadInfo, "TTITLE0=A", late},
      {"http 404", true, &CddbScript::httpStatus, "HTTP/1.0 404 Not Found\r\n\r\n", kCddbQueryError,
       "HTTP/1.0 404 Not Found", "127.0.0.1 could not answer the query for this disc"},
      {"http no match", true, &CddbScript::queryReply, "202 No match\r\n", kCddbNoMatch,
       "202 No match", "No match for this disc on 127.0.0.1"},
      {"http silent read", true, &CddbScript::readReply, stall, kCddbNoReadReply, "", late},
      {"http read refused", true, &CddbScript::readReply, "402 no\r\n", kCddbReadError, "402 no",
       "127.0.0.1 could not send the entry of this disc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CddbScript script = GoodScript();
    script.*c.field = c.reply;
    LoopbackServer server(Handler(c.http, script));
    CddbRequest request = Request(Url(c.http, server));
    request.timeout = milliseconds(300);
    RecordingHost host;
    CddbOutputs out;
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = CddbLookup(request, host, out);
    EXPECT_EQ(CddbResultCode(outcome), c.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    if (!outcome) {
      EXPECT_EQ(outcome.Error().Message(), c.text);
    }
    if (c.lastReply[0] != '\0') {
      EXPECT_EQ(out.lastReply, c.lastReply);
    }
  }
}

// Catches a server that sends one byte now and then holding the lookup forever (each
// byte restarts the per-wait limit; only the lookup's deadline ends it), at the greeting,
// in the middle of an entry and over HTTP; a cancel that waits for the deadline; and a
// deadline that counts the time a person takes to choose among several matches.
TEST(CddbLookup, TricklingServerEndsAtTheDeadlineButCancelEndsAtOnce) {
  const std::string trickle(kTrickle);
  struct Case {
    const char* name;
    bool http;
    std::string CddbScript::*field;
    std::string reply;
    bool cancel;
    int expected;
  };
  const Case cases[] = {
      {"greeting", false, &CddbScript::greeting, "201 ok" + trickle, false, kCddbTimedOut},
      {"entry", false, &CddbScript::readReply, "210 rock 06019002 entry\r\nTTITLE0=A" + trickle, false,
       kCddbTimedOut},
      {"http query", true, &CddbScript::queryReply, "200 rock 06019002 A" + trickle, false, kCddbTimedOut},
      {"cancel", false, &CddbScript::readReply, "210 rock 06019002 entry\r\n" + trickle, true, kCddbCancelled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CddbScript script = GoodScript();
    script.*c.field = c.reply;
    LoopbackServer server(Handler(c.http, script));
    CddbRequest request = Request(Url(c.http, server));
    request.timeout = milliseconds(2000);
    request.deadline = c.cancel ? milliseconds(60000) : milliseconds(500);
    RecordingHost host;
    if (c.cancel) host.cancelAfter = milliseconds(500);
    CddbOutputs out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CddbResultCode(CddbLookup(request, host, out)), c.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
  }
  EXPECT_EQ(CddbResultText(kCddbTimedOut), "The CDDB server did not answer in time");

  CddbScript script = GoodScript();
  script.queryReply = "211 close matches\r\nrock 06019002 Some Artist / Some Album\r\njazz 06019002 B / C\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  CddbRequest request = Request(Url(false, server));
  request.deadline = milliseconds(500);
  RecordingHost host;
  host.choosing = milliseconds(800);
  CddbOutputs out;
  EXPECT_EQ(CddbResultCode(CddbLookup(request, host, out)), kCddbOk);
  ExpectGoodOutputs(out);
}

// Catches control characters of a reply (a terminal title escape, BEL, NUL, DEL, CR, a
// tab, and the ISO-8859-1 C1 control CSI) kept in the artist, title, category, track
// names, the offered matches or the last reply line, from where they reach file names,
// tags and terminals. Ordinary accented letters must survive.
TEST(CddbLookup, ControlCharactersOfTheReplyNeverReachTheOutputs) {
  CddbScript script;
  script.queryReply = std::string("211 matches\r\nro\x1b""ck 06019002 Ev\x1b]0;owned\x07il / Al\x9b""31mbum\r\n"
                                  "jazz 06019002 B\x7f / C\r\n.\r\n");
  script.readReply = "210 rock 06019002 entry\r\nTTITLE0=In" + std::string(1, '\0') +
                     "tro\r\nTTITLE1=Caf\xE9\tTwo\rX\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(false, server)), host, out)), kCddbOk);
  EXPECT_EQ(out.artist, "Ev]0;ownedil");
  EXPECT_EQ(out.title, "Al31mbum");
  EXPECT_EQ(out.category, "rock");
  EXPECT_EQ(out.trackNames, "Intro\nCaf\xC3\xA9 TwoX\n");
  EXPECT_EQ(host.matches, (std::vector<std::string>{"rock 06019002 Ev]0;ownedil / Al31mbum", "jazz 06019002 B / C"}));
  EXPECT_EQ(CddbReplyText("A\x85\x9f\xa0Z"), "A\xC2\xA0Z") << "C1 bytes go, U+00A0 stays";

  CddbScript refusing = GoodScript();
  refusing.queryReply = "202 No\x1b[2J match\r\n";
  LoopbackServer refusingServer(CddbpHandler(refusing));
  ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(false, refusingServer)), host, out)), kCddbNoMatch);
  EXPECT_EQ(out.lastReply, "202 No[2J match");
}

// Catches: bad addresses, refused or unanswered connects, a silent SOCKS proxy and bad
// tables reported with the wrong code or hanging, or outputs of an earlier lookup
// surviving into a failed one.
TEST(CddbLookup, AddressAndConnectFailuresHaveTheirCodes) {
  LoopbackServer unanswering(nullptr, /*fillBacklog=*/true);
  LoopbackServer refusingProxy(Socks4Front(nullptr, /*status=*/91));
  LoopbackServer silentProxy([](TestConnection& c) { c.Stall(); });
  struct Case {
    std::string server, socks;
    int expected;
    std::string text;  // what the failure says to a person
    DiscLayout disc = DiscLayout{2, {0, 15000, 30000}};
  };
  const std::string refusing = Local(refusingProxy.Port());
  const std::string silent = Local(silentProxy.Port());
  const Case cases[] = {
      {"ftp://127.0.0.1:1", "", kCddbInvalidServerUrl, "\"ftp://127.0.0.1:1\" is no server address this lookup can use"},
      {"cddbp://999.0.0.1:888", "", kCddbNoServerAddress, "Cannot reach 999.0.0.1: its address was not found"},
      {"cddbp://127.0.0.1:888", "300.0.0.1", kCddbNoServerAddress,
       "Cannot reach 127.0.0.1 through the proxy 300.0.0.1: its address was not found"},
      {"cddbp://" + Local(FreeLoopbackPort()), "", kCddbCannotConnect, "Cannot reach 127.0.0.1: connection refused"},
      {"http://" + Local(unanswering.Port()), "", kCddbCannotConnect, "127.0.0.1 did not answer within 1 second"},
      {"cddbp://127.0.0.1:888", refusing, kCddbCannotConnect,
       "Cannot reach 127.0.0.1 through the proxy " + refusing + ": connection refused"},
      {"cddbp://127.0.0.1:888", silent, kCddbCannotConnect,
       "Cannot reach 127.0.0.1 through the proxy " + silent + ": no answer within 1 second"},
      {"cddbp://127.0.0.1:888", "", kCddbInvalidTrackTable, "This disc has no table of contents that can be looked up",
       DiscLayout{2, {0, 100}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server + " socks " + c.socks);
    CddbRequest request = Request(c.server);
    request.socksProxy = c.socks;
    request.disc = c.disc;
    request.timeout = milliseconds(300);
    RecordingHost host;
    CddbOutputs out;
    out.title = out.trackNames = "old\n";
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = CddbLookup(request, host, out);
    EXPECT_EQ(CddbResultCode(outcome), c.expected);
    if (!outcome) {
      EXPECT_EQ(outcome.Error().Message(), c.text);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(out.title + out.trackNames, "");
  }
}

// Catches: a cancel at a stage not stopping the exchange before that stage's command.
TEST(CddbLookup, CancelAtEachStageStopsBeforeItsCommand) {
  const std::vector<std::string> sentBefore = {"<no connection>", "", kHello, kHello + kQuery};
  for (int stage = 0; stage < 4; ++stage) {
    SCOPED_TRACE(stage);
    LoopbackServer server(CddbpHandler(GoodScript()));
    RecordingHost host;
    host.cancelAt = stage;
    CddbOutputs out;
    EXPECT_EQ(CddbResultCode(CddbLookup(Request(Url(false, server)), host, out)), kCddbCancelled);
    EXPECT_EQ(host.stages.back(), stage);
    // Give the server time to record what reached it.
    std::this_thread::sleep_for(milliseconds(50));
    const auto transcripts = server.Transcripts();
    EXPECT_EQ(transcripts.empty() ? "<no connection>" : transcripts[0], sentBefore[stage]);
  }
}

// Catches: names landing on the wrong rows, the typed year overwritten, or later rows wiped.
TEST(CddbLookup, ApplyingOutputsFillsRowsInOrderAndKeepsTheYear) {
  CdInfo info;
  info.year = "1999";
  info.SetTrackName(3, "kept");
  CddbOutputs out{"T", "A", "rock", "one\ntwo\n", "", "", "", {}};
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.title + "|" + info.artist + "|" + info.genre + "|" + info.year, "T|A|rock|1999");
  EXPECT_EQ(info.TrackName(1) + "|" + info.TrackName(2) + "|" + info.TrackName(3), "one|two|kept");
}

// Catches: DYEAR and DGENRE ignored, the category winning over DGENRE, and an entry
// without DYEAR wiping the typed year.
TEST(CddbLookup, EntryYearAndGenreFillTheCdInformation) {
  CddbScript script = GoodScript();
  script.readReply = "210 rock 06019002\r\nDTITLE=A / B\r\nDYEAR=1987\r\nDGENRE=Krautrock \r\n"
                     "TTITLE0=One\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(false, server)), host, out)), kCddbOk);
  EXPECT_EQ(out.year + "|" + out.genre + "|" + out.category, "1987|Krautrock|rock");
  CdInfo info;
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.year + "|" + info.genre, "1987|Krautrock");
  out.year.clear();
  out.genre.clear();
  info.year = "1999";
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.year + "|" + info.genre, "1999|rock");
}

// Catches: UTF-8 replies of a level 6 server turned into mojibake, Latin-1 lines of such
// a server kept as broken UTF-8, and UTF-8 assumed from a server that refused level 6.
TEST(CddbLookup, LevelSixRepliesAreUtf8AndARefusalFallsBackToLatin1) {
  const std::string utf8Entry = "210 misc 06019002\r\nDTITLE=Café – Ünïcödé / 夜に駆ける\r\n"
                                "TTITLE0=群青\r\nTTITLE1=Caf\xE9\r\n.\r\n";
  struct Case {
    const char* name;
    bool http;
    std::string protoReply;
    std::string title;  // what the entry's album title reads as
    std::string second;
  };
  const Case cases[] = {
      {"granted", false, "201 OK, CDDB protocol level now: 6\r\n", "夜に駆ける", "Café"},
      {"already", false, "502 Protocol level already 6\r\n", "夜に駆ける", "Café"},
      {"refused", false, "501 Illegal protocol level.\r\n", "\xC3\xA5\xC2\xA4", "Café"},
      {"http", true, "", "夜に駆ける", "Café"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CddbScript script = GoodScript();
    script.queryReply = "200 misc 06019002 Café – Ünïcödé\r\n";
    script.readReply = utf8Entry;
    script.protoReply = c.protoReply;
    LoopbackServer server(Handler(c.http, script));
    RecordingHost host;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(c.http, server)), host, out)), kCddbOk);
    // At level 1 each byte is a character: the three bytes of 夜 read as "å¤" and a C1
    // control, which is dropped.
    EXPECT_EQ(c.protoReply.starts_with("501") ? out.title.substr(0, 4) : out.title, c.title);
    EXPECT_EQ(out.trackNames.substr(out.trackNames.find('\n') + 1), c.second + "\n");
    if (!c.protoReply.starts_with("501")) {
      EXPECT_EQ(out.artist, "Café – Ünïcödé");
      EXPECT_EQ(out.trackNames, "群青\nCafé\n");
    }
  }
}

// Catches: a "210 Found exact matches" list taken as a query error, its matches offered
// as inexact, or the chosen one not read.
TEST(CddbLookup, ExactMatchesAreOfferedAndTheChosenOneIsRead) {
  CddbScript script = GoodScript();
  script.queryReply =
      "210 Found exact matches, list follows (until terminating `.')\r\n"
      "rock 06019002 Some Artist / Some Album\r\n"
      "misc 06019002 ヨルシカ / 夜に駆ける\r\n.\r\n";
  script.readReply = "210 misc 06019002\r\nTTITLE0=X\r\n.\r\n";
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(Handler(http, script));
    RecordingHost host;
    host.choice = 1;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(Request(Url(http, server)), host, out)), kCddbOk);
    EXPECT_EQ(host.matches, (std::vector<std::string>{"rock 06019002 Some Artist / Some Album",
                                                      "misc 06019002 ヨルシカ / 夜に駆ける"}));
    EXPECT_EQ(host.exact, (std::vector<bool>{true, true}));
    EXPECT_EQ(out.category + "|" + out.artist + "|" + out.title, "misc|ヨルシカ|夜に駆ける");
  }
}

// Catches: a hello word with blanks, URL delimiters or non-ASCII letters that breaks the
// command or that servers refuse.
TEST(CddbLookup, HelloIdentityIsSanitised) {
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(Handler(http, GoodScript()));
    CddbRequest request = Request(Url(http, server));
    request.user = "José Müller";
    request.host = "my host&proto=1";
    RecordingHost host;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(request, host, out)), kCddbOk);
    const std::string hello = std::string(http ? "hello=" : "cddb hello ") + "Jos__M_ller" + (http ? "+" : " ") +
                              "my_host_proto_1" + (http ? "+" : " ") + "zimbar";
    EXPECT_NE(server.Transcripts()[0].find(hello), std::string::npos) << server.Transcripts()[0];
  }
}

// --- Real proxies started by the test on loopback ports. ---

// An installed proxy program run with `config` as dir/<name>.conf on a free port, in a
// fresh folder that is removed after a passing test and kept for diagnosis after a failure.
class RealProxy {
 public:
  explicit RealProxy(const std::string& name) : name_(name), binary_(FindProgram(name)) {
    char pattern[] = "/tmp/zb_cddb_proxyXXXXXX";
    if (::mkdtemp(pattern)) dir_ = pattern;
  }
  ~RealProxy() {
    process_.Stop();
    if (!dir_.empty() && !::testing::Test::HasFailure()) std::filesystem::remove_all(dir_);
  }
  bool Installed() const { return !binary_.empty(); }
  std::string File(const char* suffix) const { return dir_ + "/" + name_ + suffix; }
  bool Start(const std::string& config, std::vector<std::string> options) {
    std::ofstream(File(".conf")) << config;
    options.insert(options.begin(), binary_);
    return !dir_.empty() && process_.Start(options, File(".log")) &&
           process_.WaitForListen(port, 5000);
  }
  const std::uint16_t port = FreeLoopbackPort();

 private:
  std::string name_, binary_, dir_;
  ChildProcess process_;
};

// Catches: requests that a real HTTP proxy cannot forward (malformed absolute URL).
TEST(CddbLookupProxies, HttpLookupThroughTinyproxy) {
  RealProxy proxy("tinyproxy");
  if (!proxy.Installed()) GTEST_SKIP() << "tinyproxy is not installed; HTTP proxy path not tested";
  LoopbackServer server(CddbHttpHandler(GoodScript()));
  const std::string config = "Port " + std::to_string(proxy.port) +
                             "\nListen 127.0.0.1\nTimeout 10\nMaxClients 5\n"
                             "Allow 127.0.0.1\nLogLevel Info\n";
  ASSERT_TRUE(proxy.Start(config, {"-d", "-c", proxy.File(".conf")}))
      << "tinyproxy did not start; see " << proxy.File(".log");
  CddbRequest request = Request(Url(true, server));
  request.httpProxy = Local(proxy.port);
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbResultCode(CddbLookup(request, host, out)), kCddbOk) << out.lastReply;
  ExpectGoodOutputs(out);
  const auto transcripts = server.Transcripts();
  ASSERT_EQ(transcripts.size(), 2u);
  EXPECT_EQ(transcripts[0].rfind("GET " + kHttpQuery.substr(0, kHttpQuery.find("\r\n")), 0), 0u)
      << transcripts[0];
}

// Catches: a SOCKS 4 request that a real proxy rejects, for both transports.
TEST(CddbLookupProxies, LookupsThroughDanteSocks4) {
  RealProxy proxy("danted");
  if (!proxy.Installed()) GTEST_SKIP() << "danted (dante-server) is not installed; SOCKS path not tested";
  // The proxy runs as the test's own user.
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  const std::string user = account->pw_name;
  const std::string config =
      "logoutput: stderr\ninternal: 127.0.0.1 port = " + std::to_string(proxy.port) +
      "\nexternal: 127.0.0.1\nclientmethod: none\nsocksmethod: none\nuser.privileged: " + user +
      "\nuser.unprivileged: " + user + "\nclient pass {\n  from: 127.0.0.1/32 to: 0.0.0.0/0\n}\n" +
      "socks pass {\n  from: 127.0.0.1/32 to: 127.0.0.1/32\n  command: connect\n}\n";
  ASSERT_TRUE(proxy.Start(config, {"-f", proxy.File(".conf"), "-p", proxy.File(".pid"), "-N", "1"}))
      << "danted did not start; see " << proxy.File(".log");
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(Handler(http, GoodScript()));
    CddbRequest request = Request(Url(http, server));
    request.socksProxy = Local(proxy.port);
    RecordingHost host;
    CddbOutputs out;
    ASSERT_EQ(CddbResultCode(CddbLookup(request, host, out)), kCddbOk) << out.lastReply;
    ExpectGoodOutputs(out);
    if (!http) {
      EXPECT_EQ(server.Transcripts().at(0), kCddbpCommands);
    }
  }
}

}  // namespace

// Catches a failed lookup whose error does not carry what the status window shows (the
// result text), the code the thread keeps, the server it failed on, or the kind of
// failure a caller tells apart (a bad address is the user's, an unreachable server the
// network's).
TEST(CddbLookup, FailuresAreErrorsWithTheirCodeTextAndServer) {
  RecordingHost host;
  CddbOutputs out;
  const Outcome invalid = CddbLookup(Request("gopher://x"), host, out);
  ASSERT_FALSE(invalid);
  EXPECT_TRUE(invalid.Error().Is(kCddbInvalidServerUrl));
  EXPECT_EQ(invalid.Error().category, ErrorCategory::Usage);
  EXPECT_EQ(invalid.Error().Message(), "\"gopher://x\" is no server address this lookup can use");
  EXPECT_EQ(invalid.Error().subject, "gopher://x");
  const std::string closed = "cddbp://" + Local(FreeLoopbackPort());
  const Outcome unreachable = CddbLookup(Request(closed), host, out);
  ASSERT_FALSE(unreachable);
  EXPECT_EQ(CddbResultCode(unreachable), kCddbCannotConnect);
  EXPECT_EQ(unreachable.Error().category, ErrorCategory::Network);
  EXPECT_EQ(unreachable.Error().Message(), "Cannot reach 127.0.0.1: connection refused");
  EXPECT_EQ(unreachable.Error().subject, closed);
  // The host is named as the settings give it, not as the address it was resolved to.
  const Outcome named = CddbLookup(Request("cddbp://localhost:" + std::to_string(FreeLoopbackPort())), host, out);
  ASSERT_FALSE(named);
  EXPECT_EQ(named.Error().Message(), "Cannot reach localhost: connection refused");
  EXPECT_EQ(CddbResultCode(Done{}), kCddbOk);
}
