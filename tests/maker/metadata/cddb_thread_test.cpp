// TCDDBThread: what the status window sees, and what the CD window may take.
#include "maker/metadata/cddb_thread.h"

#include <gtest/gtest.h>

#include <chrono>

#include "loopback_server.h"
#include "maker/metadata/musicbrainz_disc_id.h"

namespace {

using std::chrono::milliseconds;

class FakeStatusWindow : public CddbStatusHost {
 public:
  void AppendLog(const std::string& line) override { log.push_back(line); }
  void SetOkEnabled(bool enabled) override { okEnabled = enabled; }
  void SetCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
  void CloseWithOk() override { closedWithOk = true; }
  int ChooseMatch(const std::vector<std::string>& matches) override {
    offered = matches;
    return 1;
  }
  std::vector<std::string> log, offered;
  bool okEnabled = false, cancelEnabled = false, closedWithOk = false;
};

CddbRequest Request(std::uint16_t port, milliseconds timeout = milliseconds(300)) {
  CddbRequest request;
  request.server = "cddbp://127.0.0.1:" + std::to_string(port);
  request.disc = DiscLayout{2, {0, 15000, 30000}};
  request.timeout = timeout;
  return request;
}

void RunToEnd(QueueMainLoop& loop, TCDDBThread& thread) {
  bool finished = false;
  thread.SetOnFinished([&finished] { finished = true; });
  thread.Start();
  ASSERT_TRUE(loop.RunUntil([&finished] { return finished; }, std::chrono::seconds(20)));
}

// Catches: a successful lookup not closing the window, or its outputs not kept.
TEST(CddbThread, SuccessLogsStagesAndClosesWithOk) {
  CddbScript script;
  script.queryReply = "211 inexact\r\nrock 06019002 A / B\r\njazz 06019002 C / D\r\n.\r\n";
  script.readReply = "210 jazz 06019002\r\nTTITLE0=One\r\nTTITLE1=Two\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  QueueMainLoop loop;
  FakeStatusWindow window;
  Worker<TCDDBThread> thread(loop, window, Request(server.Port()));
  RunToEnd(loop, thread);
  EXPECT_TRUE(window.closedWithOk);
  EXPECT_TRUE(thread.Succeeded());
  EXPECT_EQ(window.offered.size(), 2u);
  EXPECT_EQ(window.log, (std::vector<std::string>{
                            "Getting CDDB info...", "Connecting to the CDDB server...",
                            "Logging-in to the CDDB server...", "Querying the CDDB server...",
                            "Requesting CD info from the CDDB server..."}));
  CdInfo info;
  ApplyCddbOutputs(thread.Outputs(), info);
  EXPECT_EQ(info.artist + "|" + info.genre + "|" + info.TrackName(2), "C|jazz|Two");
}

// Catches: a MusicBrainz request run as a CDDB lookup, its log speaking of CDDB, the
// choice between releases not reaching the window, or a 404 not told as such.
TEST(CddbThread, MusicBrainzSourceRunsTheWebLookupWithItsOwnLog) {
  const DiscLayout disc{2, {0, 15000, 30000}};
  const std::string id = MakeMusicBrainzDiscId(disc)->id;
  WebRelease first{"r1", "Album", "Band", "2001", "DE", id, {{"One", ""}, {"Two", ""}}};
  WebRelease second{"r2", "Live", "Band", "2003", "US", id, {{"Uno", ""}, {"Dos", ""}}};
  LoopbackServer server(HttpReplyHandler(HttpResponse(200, "OK", MusicBrainzDiscReply({first, second}))));
  CddbRequest request = Request(server.Port());
  request.source = MetadataSource::MusicBrainz;
  request.musicBrainzServer = "http://127.0.0.1:" + std::to_string(server.Port());
  QueueMainLoop loop;
  FakeStatusWindow window;
  Worker<TCDDBThread> thread(loop, window, request);
  RunToEnd(loop, thread);
  EXPECT_TRUE(window.closedWithOk);
  EXPECT_EQ(window.log, (std::vector<std::string>{"Getting MusicBrainz info...", "Querying the MusicBrainz server...",
                                                  "Disc id: " + id}));
  EXPECT_EQ(window.offered, (std::vector<std::string>{"Band / Album (2001, DE)", "Band / Live (2003, US)"}));
  EXPECT_EQ(thread.Outputs().title, "Live");

  LoopbackServer missing(HttpReplyHandler(HttpResponse(404, "Not Found", R"({"error": "Not Found"})")));
  request.musicBrainzServer = "http://127.0.0.1:" + std::to_string(missing.Port());
  FakeStatusWindow failed;
  Worker<TCDDBThread> lookup(loop, failed, request);
  RunToEnd(loop, lookup);
  EXPECT_FALSE(failed.closedWithOk);
  ASSERT_GE(failed.log.size(), 2u);
  EXPECT_EQ(failed.log[failed.log.size() - 2], "No match for this disc on 127.0.0.1");
  EXPECT_EQ(failed.log.back(), "HTTP/1.1 404 Not Found: Not Found");
  EXPECT_TRUE(failed.okEnabled);
}

// Catches: a failed (refused or silent) lookup reported without its plain words naming
// the server and the server's line, a silent server keeping the thread and the modal window alive past the time limit,
// the window left without a way to close, or the failure offered as a success to apply.
TEST(CddbThread, FailureLogsResultAndServerLineAndEnablesOk) {
  struct Case {
    std::string CddbScript::*field;
    std::string reply;
    int code;
    std::vector<std::string> logEnd;
  };
  const Case cases[] = {
      {&CddbScript::queryReply, "202 No match for disc ID 06019002.\r\n", kCddbNoMatch,
       {"No match for this disc on 127.0.0.1", "202 No match for disc ID 06019002."}},
      {&CddbScript::greeting, std::string(kStall), kCddbNoConnectReply,
       {"127.0.0.1 did not answer within 1 second"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    CddbScript script;
    script.*c.field = c.reply;
    LoopbackServer server(CddbpHandler(script));
    QueueMainLoop loop;
    FakeStatusWindow window;
    Worker<TCDDBThread> thread(loop, window, Request(server.Port()));
    RunToEnd(loop, thread);
    EXPECT_FALSE(window.closedWithOk);
    EXPECT_FALSE(thread.Succeeded());
    EXPECT_EQ(thread.ResultCode(), c.code);
    EXPECT_EQ(thread.FailureText(), c.logEnd.front());
    ASSERT_GE(window.log.size(), c.logEnd.size());
    EXPECT_EQ(std::vector<std::string>(window.log.end() - c.logEnd.size(), window.log.end()),
              c.logEnd);
    EXPECT_TRUE(window.okEnabled);
    EXPECT_FALSE(window.cancelEnabled);
  }
}

// Catches: Cancel not stopping the lookup, or a cancelled lookup holding the thread (and
// whoever joins it) until the server's time limit.
TEST(CddbThread, TerminateDuringNetworkWaitEndsPromptly) {
  CddbScript script;
  script.queryReply = std::string(kStall);
  LoopbackServer server(CddbpHandler(script));
  QueueMainLoop loop;
  FakeStatusWindow window;
  Worker<TCDDBThread> thread(loop, window, Request(server.Port(), milliseconds(20000)));
  bool finished = false;
  thread.SetOnFinished([&finished] { finished = true; });
  thread.Start();
  // Wait until the query has been sent, then cancel during the wait for its reply.
  auto querySent = [&server] {
    const auto transcripts = server.Transcripts();
    return !transcripts.empty() && transcripts[0].find("cddb query") != std::string::npos;
  };
  for (int i = 0; i < 1000 && !querySent(); ++i) {
    loop.RunPending();
    std::this_thread::sleep_for(milliseconds(10));
  }
  ASSERT_TRUE(querySent());
  const auto start = std::chrono::steady_clock::now();
  thread.Terminate();
  ASSERT_TRUE(loop.RunUntil([&finished] { return finished; }, std::chrono::seconds(20)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(thread.ResultCode(), kCddbCancelled);
  EXPECT_FALSE(window.closedWithOk);
}

}  // namespace
