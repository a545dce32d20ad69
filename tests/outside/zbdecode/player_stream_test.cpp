// Tests of the player's HTTP and FTP streams against servers started on 127.0.0.1: plain
// HTTP, ICY metadata with changing titles, a SHOUTcast "ICY 200 OK" reply, FTP, a server
// that stalls, one that closes mid-stream, one that is not there, and Stop and delete
// while a server drips, stays silent or never answers.
#include <gtest/gtest.h>

#include "outside/zbdecode/zbdecode_player.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/zbdecode/player_media.h"
#include "tests/outside/zbdecode/player_pump.h"
#include "tests/outside/zbdecode/stream_server.h"

using namespace player_test;
using namespace std::chrono_literals;

namespace {

struct StreamRun {
  std::vector<uint8_t> heard;
  std::vector<std::string> names, errors;
  std::string nacks;  // "command/code" of each refused command, for the failure messages
  bool ended = false;
  std::chrono::milliseconds took{0};
};

// Plays a URL until the end of stream (or the timeout) and deletes the player.
StreamRun PlayUrl(const std::string& url, const std::string& capture, int stallMs = 3000,
                  std::chrono::milliseconds timeout = 20s, int noAudioMs = 0) {
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
  StreamRun run;
  Pump pump;
  ZbdPlayer* p = pump.Start();
  EXPECT_NE(p, nullptr);
  if (!p) return run;
  const auto start = std::chrono::steady_clock::now();
  control_message_send_SI(p, ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, ZBD_ENV_STREAM_TIMEOUT, stallMs);
  if (noAudioMs > 0) control_message_send_SI(p, ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, ZBD_ENV_STREAM_NO_AUDIO, noAudioMs);
  control_message_send_S(p, ZBD_MSG_INPUT_OPEN, url.c_str());
  control_message_send_N(p, ZBD_MSG_PLAY);
  run.ended = pump.WaitFor(
      [](const std::vector<Note>& n) {
        return Pump::HasState(n, ZBD_PLAYER_STATE_EOS) || Pump::Count(n, ZBD_NOTIFY_NACK) > 0;
      },
      timeout);
  run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  run.ended = run.ended && Pump::HasState(pump.Notes(), ZBD_PLAYER_STATE_EOS);
  pump.Drain(50ms);
  pump.Delete();
  for (const Note& n : pump.Of(ZBD_NOTIFY_INPUT_NAME)) run.names.push_back(n.text1);
  for (const Note& n : pump.Of(ZBD_NOTIFY_ERROR)) run.errors.push_back(n.text1);
  for (const Note& n : pump.Of(ZBD_NOTIFY_NACK)) {
    run.nacks += " " + std::to_string(n.message.data.nack.command);
    run.nacks += "/" + std::to_string(n.message.data.nack.code);
  }
  run.heard = WavData(ReadBytes(capture));
  return run;
}

class PlayerStream : public testing::Test {
 protected:
  void SetUp() override {
    mp3_ = dir_.File("stream.mp3");
    ASSERT_TRUE(MakeMp3(mp3_, 44100, 2, 3.0, {440.0, 1000.0}, "-b 128"));
    reference_ = ReferenceDecode(mp3_);
    ASSERT_FALSE(reference_.empty());
  }
  std::string Url(const StreamServer& server, const std::string& scheme = "http") const {
    return scheme + "://127.0.0.1:" + std::to_string(server.Port()) + "/stream.mp3";
  }

  TempDir dir_;
  std::string mp3_;
  std::vector<uint8_t> reference_;
};

}  // namespace

// Catches a plain HTTP stream that is not played whole (lost or damaged audio from the
// ring) or does not end with the end-of-stream state when the server closes.
TEST_F(PlayerStream, HttpWithoutMetadataPlaysTheWholeStream) {
  StreamServer server({"http", mp3_});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_TRUE(run.errors.empty()) << run.errors.front();
  EXPECT_TRUE(run.heard == reference_) << run.heard.size() << " vs " << reference_.size();
}

// Catches ICY metadata played as audio (noise bursts, damaged frames), a title not
// reported, reported twice, or not converted to UTF-8.
TEST_F(PlayerStream, IcyTitlesAreReportedAsTheyChangeAndNeverPlayed) {
  StreamServer server({"http", mp3_, "--icy-metaint", "8192", "--titles", "First,Zweite Ä,Third"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_TRUE(run.heard == reference_) << run.heard.size() << " vs " << reference_.size();
  std::vector<std::string> titles(run.names.begin() + (run.names.empty() ? 0 : 1), run.names.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"First", "Zweite Ä", "Third"}));
  ASSERT_FALSE(run.names.empty());
  EXPECT_EQ(run.names[0], Url(server));
}

// Catches a SHOUTcast "ICY 200 OK" status line refused as a broken HTTP reply.
TEST_F(PlayerStream, ShoutcastStatusLineIsAccepted) {
  StreamServer server({"http", mp3_, "--icy-status", "--icy-metaint", "16000", "--titles", "Only"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_TRUE(run.heard == reference_);
  EXPECT_EQ(run.names.back(), "Only");
}

// Catches FTP URLs not fetched, or fetched with bytes lost.
TEST_F(PlayerStream, FtpFilePlaysWhole) {
  StreamServer server({"ftp", dir_.Path()});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server, "ftp"), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; " << (run.errors.empty() ? "" : run.errors.front());
  EXPECT_TRUE(run.heard == reference_) << run.heard.size() << " vs " << reference_.size();
}

// Catches a stalled stream that hangs playback (no end of stream, a Stop or delete that
// never returns) or ends it without saying why.
TEST_F(PlayerStream, StalledStreamEndsAfterTheTimeLimit) {
  StreamServer server({"http", mp3_, "--stall-after", "20000"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"), /*stallMs=*/800);
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_LT(run.took, 10s);
  ASSERT_FALSE(run.errors.empty());
  EXPECT_NE(run.errors[0].find("stalled"), std::string::npos) << run.errors[0];
  // What came before the stall was played.
  EXPECT_GT(run.heard.size(), 44100u * 4 / 2);
  EXPECT_TRUE(std::equal(run.heard.begin(), run.heard.end(), reference_.begin()));
}

// Catches a stream whose audio gives way to bytes without audio that goes on for ever
// without a word (the player "playing" silence): after the no-audio limit it ends with
// the reason reported, what came before it played whole.
TEST_F(PlayerStream, StreamWithoutAudioEndsWithTheReason) {
  StreamServer server({"http", mp3_, "--junk"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"), /*stallMs=*/3000, 20s, /*noAudioMs=*/800);
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_LT(run.took, 10s);
  ASSERT_FALSE(run.errors.empty());
  EXPECT_EQ(run.errors[0], "The stream " + Url(server) + " ended: no audio for 0.8 seconds");
  EXPECT_TRUE(run.heard == reference_) << run.heard.size() << " vs " << reference_.size();
}

// Catches a stream cut off mid-way that is not played up to the cut, or not ended.
TEST_F(PlayerStream, StreamClosedMidwayEndsWithWhatCame) {
  StreamServer server({"http", mp3_, "--close-after", "24000"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  EXPECT_GT(run.heard.size(), 44100u * 4);
  EXPECT_LT(run.heard.size(), reference_.size());
  EXPECT_TRUE(std::equal(run.heard.begin(), run.heard.end() - 4608, reference_.begin()));
}

// Catches a refused connection that plays nothing without saying why, or that hangs.
TEST_F(PlayerStream, UnreachableServerIsReported) {
  int port = 0;
  {
    StreamServer gone({"http", mp3_});
    port = gone.Port();
  }
  ASSERT_GT(port, 0);
  const StreamRun run = PlayUrl("http://127.0.0.1:" + std::to_string(port) + "/x.mp3", dir_.File("heard.wav"));
  EXPECT_FALSE(run.ended);
  EXPECT_LT(run.took, 10s);
  ASSERT_FALSE(run.errors.empty());
  EXPECT_NE(run.errors[0].find("127.0.0.1"), std::string::npos) << run.errors[0];
}

// Catches a station's control characters (ESC, BEL, BS, DEL: boxes in the title field,
// escapes run in a terminal) passed on in its titles, and an 8-bit (ISO-8859-1) title
// passed on as broken UTF-8.
TEST_F(PlayerStream, IcyTitlesArriveAsUtf8WithoutControlCharacters) {
  StreamServer server({"http", mp3_, "--icy-metaint", "8192", "--title-encoding", "latin-1", "--titles",
                       "Esc\x1b[1mBold,Bell\x07 Back\x08 Del\x7f!,Caf\u00e9\tCr\u00e8me"});
  ASSERT_GT(server.Port(), 0);
  const StreamRun run = PlayUrl(Url(server), dir_.File("heard.wav"));
  EXPECT_TRUE(run.ended) << run.took.count() << " ms; refused:" << run.nacks;
  std::vector<std::string> titles(run.names.begin() + (run.names.empty() ? 0 : 1), run.names.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"Esc[1mBold", "Bell Back Del!", "Caf\u00e9 Cr\u00e8me"}));
}

// Catches a Stop or a delete that waits for the server while a stream opens: one that
// sends its headers and then a byte every 2 s (the open read on for as long as it drips),
// one that accepts and says nothing (the wait for the reply), one whose port never answers
// (the connect). Each must end at once, without an error for the open it cut short.
TEST_F(PlayerStream, StopAndDeleteNeverWaitForTheServer) {
  ScopedEnv out("ZIMBAR_AUDIO_OUT", "null");
  for (const char* kind : {"dripping", "silent", "unanswered"}) {
    SCOPED_TRACE(kind);
    HoldingServer server(kind, mp3_);
    ASSERT_FALSE(server.Url().empty());
    Pump pump;
    ZbdPlayer* p = pump.Start();
    ASSERT_NE(p, nullptr);
    control_message_send_I(p, ZBD_MSG_SET_NOTIFICATION_MASK, ZBD_NOTIFY_MASK_DEFAULT | ZBD_NOTIFY_MASK_ACK);
    control_message_send_S(p, ZBD_MSG_INPUT_OPEN, server.Url().c_str());
    control_message_send_N(p, ZBD_MSG_PLAY);
    ASSERT_TRUE(server.WaitUntilHeld());
    // Without the fault this never fires; with it, ending the server lets the player go.
    Watchdog watchdog(3s, [&] { server.Release(); });
    const auto stop = TimeOf([&] {
      control_message_send_N(p, ZBD_MSG_STOP);
      pump.WaitFor(
          [](const std::vector<Note>& notes) {
            for (const Note& n : notes) {
              if (n.Code() == ZBD_NOTIFY_ACK && n.message.data.ack.command == ZBD_MSG_STOP) return true;
            }
            return false;
          },
          15s);
    });
    const auto remove = TimeOf([&] { pump.Delete(); });
    EXPECT_LT(stop, 500ms) << "Stop took " << stop.count() << " ms";
    EXPECT_LT(remove, 500ms) << "the delete took " << remove.count() << " ms";
    for (const Note& n : pump.Of(ZBD_NOTIFY_ERROR)) ADD_FAILURE() << "error: " << n.text1;
  }
}
