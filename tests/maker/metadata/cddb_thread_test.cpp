// TCDDBThread: what the status window sees, and what the CD window may take.
#include "maker/metadata/cddb_thread.h"

#include <gtest/gtest.h>

#include <chrono>

#include "loopback_server.h"

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
  std::vector<std::string> log;
  std::vector<std::string> offered;
  bool okEnabled = false;
  bool cancelEnabled = false;
  bool closedWithOk = false;
};

CddbRequest Request(std::uint16_t port) {
  CddbRequest request;
  request.server = "cddbp://127.0.0.1:" + std::to_string(port);
  request.disc = DiscLayout{2, {0, 15000, 30000}};
  request.timeout = milliseconds(300);
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
  TCDDBThread thread(loop, window, Request(server.Port()));
  RunToEnd(loop, thread);
  EXPECT_TRUE(window.closedWithOk);
  EXPECT_TRUE(thread.Succeeded());
  EXPECT_EQ(window.offered.size(), 2u);
  EXPECT_EQ(window.log, (std::vector<std::string>{
                            "Getting CDDB info...", "Connecting to the CDDB server...",
                            "Logging-in to the CDDB server...", "Querying the CDDB server...",
                            "Requesting CD info from the CDDB server..."}));
  CdInfo info;
  info.year = "2001";
  ApplyCddbOutputs(thread.Outputs(), info);
  EXPECT_EQ(info.artist, "C");
  EXPECT_EQ(info.genre, "jazz");
  EXPECT_EQ(info.TrackName(2), "Two");
}

// Catches: a failed lookup reported without its text and the server's line, or leaving
// the window without a way to close; and its cleared outputs offered for applying.
TEST(CddbThread, FailureLogsResultAndServerLineAndEnablesOk) {
  CddbScript script;
  script.queryReply = "202 No match for disc ID 06019002.\r\n";
  LoopbackServer server(CddbpHandler(script));
  QueueMainLoop loop;
  FakeStatusWindow window;
  TCDDBThread thread(loop, window, Request(server.Port()));
  RunToEnd(loop, thread);
  EXPECT_FALSE(window.closedWithOk);
  EXPECT_FALSE(thread.Succeeded());
  EXPECT_EQ(thread.ResultCode(), kCddbQueryError);
  ASSERT_GE(window.log.size(), 2u);
  EXPECT_EQ(window.log[window.log.size() - 2], "Query error");
  EXPECT_EQ(window.log.back(), "202 No match for disc ID 06019002.");
  EXPECT_TRUE(window.okEnabled);
  EXPECT_FALSE(window.cancelEnabled);
}

// Catches: a silent server keeping the thread (and the modal window) alive forever.
TEST(CddbThread, SilentServerEndsWithItsFailureAfterTheTimeLimit) {
  LoopbackServer server([](TestConnection& c) { c.Stall(); });
  QueueMainLoop loop;
  FakeStatusWindow window;
  TCDDBThread thread(loop, window, Request(server.Port()));
  RunToEnd(loop, thread);
  EXPECT_EQ(thread.ResultCode(), kCddbNoConnectReply);
  EXPECT_EQ(window.log.back(), "Cannot get connect reply");
}

// Catches: Cancel not stopping the lookup at its next stage.
TEST(CddbThread, TerminateStopsAtTheNextStage) {
  CddbScript script;
  script.helloReply = std::string(kStall);
  LoopbackServer server(CddbpHandler(script));
  QueueMainLoop loop;
  FakeStatusWindow window;
  CddbRequest request = Request(server.Port());
  request.timeout = milliseconds(2000);
  TCDDBThread thread(loop, window, request);
  thread.Terminate();
  RunToEnd(loop, thread);
  EXPECT_EQ(thread.ResultCode(), kCddbCancelled);
  EXPECT_FALSE(thread.Succeeded());
  EXPECT_FALSE(window.closedWithOk);
}

// Catches: a cancelled lookup holding the thread (and whoever joins it) until the
// server's time limit.
TEST(CddbThread, TerminateDuringNetworkWaitEndsPromptly) {
  CddbScript script;
  script.queryReply = std::string(kStall);
  LoopbackServer server(CddbpHandler(script));
  QueueMainLoop loop;
  FakeStatusWindow window;
  CddbRequest request = Request(server.Port());
  request.timeout = milliseconds(20000);
  TCDDBThread thread(loop, window, request);
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
}

}  // namespace
