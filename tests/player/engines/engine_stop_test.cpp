// Tests of what the window's Stop and close ask of the engines: that they end at once
// whatever the input does (a FIFO nobody writes to, a device, a stream server that drips,
// stays silent or never answers), and that nothing of the engine choice waits for it.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>

#include "player/engines/mp3_player.h"
#include "tests/outside/zbdecode/stream_server.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace player_test;
using namespace std::chrono_literals;

namespace {

// The errors an engine reports. Any thread may add; the test thread reads.
class Errors {
 public:
  void Watch(TPlayerEngine& engine) {
    engine.Slots().OnNotifyPlayerError.Set([this](void*, const std::string& m) {
      std::lock_guard lock(mutex_);
      texts_.push_back(m);
    });
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

std::unique_ptr<TPlayerEngine> MakeEngine(EngineKind kind, MainLoop& loop) {
  switch (kind) {
    case EngineKind::Mp3: return std::make_unique<TMP3Player>(loop);
    case EngineKind::Wav: return std::make_unique<Worker<TWavPlayer>>(loop);
    case EngineKind::Aac: return std::make_unique<Worker<TAACPlayer>>(loop);
  }
  return nullptr;
}

}  // namespace

// Catches a FIFO, a device or a folder in the play list that holds the main thread in
// the engine choice (it opened the file to read its header: a FIFO's open waits for a
// writer) or that reaches an engine; the choice and the facade's Open refuse it at once,
// the reason in the error notification, which the window shows.
TEST(EngineChoice, RefusesWhatIsNotARegularFileAtOnce) {
  TempDir dir;
  IdleFifo fifo(dir.File("pipe.wav"));
  ASSERT_TRUE(fifo.Ok());
  ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.aac").c_str()), 0);
  struct Case {
    std::string path, expected;
  };
  const Case cases[] = {{fifo.Path(), "named pipe"}, {dir.File("zero.aac"), "character device"}, {dir.Path(), "folder"}};
  QueueMainLoop loop;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<Expected<std::string>> choice;
    const auto choosing = TimeOf([&] {
      // Without the fault this never fires; with it, a writer lets the waiting open go.
      Watchdog watchdog(3s, [&] { fifo.Release(); });
      choice.emplace(ChosenEngine(c.path));
    });
    EXPECT_LT(choosing, 500ms);
    ASSERT_FALSE(choice->Ok());
    EXPECT_NE(choice->Error().Message().find(c.path), std::string::npos) << choice->Error().Message();
    EXPECT_NE(choice->Error().Message().find(c.expected), std::string::npos) << choice->Error().Message();

    TSoundPlayer player(loop);
    Recorder recorder(player);
    const auto opening = TimeOf([&] {
      Watchdog watchdog(3s, [&] { fifo.Release(); });
      player.Open(c.path);
      player.Play();
    });
    EXPECT_LT(opening, 500ms);
    EXPECT_EQ(player.Engine(), nullptr);
    const auto errors = recorder.Of(Event::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, choice->Error().Message());
    EXPECT_TRUE(errors[0].onMain);
  }
}

// Catches an engine opened on a FIFO (the name chosen when it was a file, say) whose own
// open waits for a writer: the MP3 library's decoding thread, the WAV and AAC workers.
// Stop, which waits for the worker, or the destruction, which waits for the library's
// threads, then never ended (the window hung, even at SIGTERM). Each refuses at once and
// stops and ends at once.
TEST(Engines, OpenedOnAFifoRefuseItAndEndAtOnce) {
  TempDir dir;
  IdleFifo fifo(dir.File("pipe.mp3"));
  ASSERT_TRUE(fifo.Ok());
  ScopedEnv out("ZIMBAR_AUDIO_OUT", "null");
  QueueMainLoop loop;
  for (EngineKind kind : {EngineKind::Mp3, EngineKind::Wav, EngineKind::Aac}) {
    SCOPED_TRACE(kind == EngineKind::Mp3 ? "MP3" : kind == EngineKind::Wav ? "WAV" : "AAC");
    // Without the fault this never fires; with it, a writer lets the waiting open go.
    Watchdog watchdog(3s, [&] { fifo.Release(); });
    std::unique_ptr<TPlayerEngine> engine = MakeEngine(kind, loop);
    Errors errors;
    errors.Watch(*engine);
    engine->Open(fifo.Path());
    engine->Play();
    EXPECT_TRUE(loop.RunUntil([&] { return !errors.Texts().empty(); }, 2s));
    const auto stop = TimeOf([&] { engine->Stop(); });
    const auto end = TimeOf([&] { engine.reset(); });
    EXPECT_LT(stop, 500ms);
    EXPECT_LT(end, 500ms);
    ASSERT_FALSE(errors.Texts().empty());
    EXPECT_NE(errors.Texts()[0].find("named pipe"), std::string::npos) << errors.Texts()[0];
  }
}

// Catches the window frozen by Stop or close while a stream opens: the facade's Stop or
// Close and its destruction (what the window's Stop and close do) waited for a server that
// sends its headers and then a byte every 2 s (as long as it drips), one that accepts and
// says nothing (the rest of the 10 s wait for a reply), one that never answers (the
// connect's time limit).
TEST(Mp3Engine, StopAndCloseNeverWaitForTheServer) {
  TempDir dir;
  const std::string mp3 = dir.File("stream.mp3");
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 1.0));
  ScopedEnv out("ZIMBAR_AUDIO_OUT", "null");
  QueueMainLoop loop;
  for (const char* kind : {"dripping", "silent", "unanswered"}) {
    for (const bool close : {false, true}) {
      SCOPED_TRACE(std::string(kind) + (close ? ", Close" : ", Stop"));
      HoldingServer server(kind, mp3);
      ASSERT_FALSE(server.Url().empty());
      auto player = std::make_unique<TSoundPlayer>(loop);
      player->Open(server.Url());
      player->Play();
      ASSERT_TRUE(server.WaitUntilHeld());
      // Without the fault this never fires; with it, ending the server lets the player go.
      Watchdog watchdog(3s, [&] { server.Release(); });
      const auto stop = TimeOf([&] { close ? player->Close() : player->Stop(); });
      const auto end = TimeOf([&] { player.reset(); });
      EXPECT_LT(stop, 500ms);
      EXPECT_LT(end, 500ms) << "the destruction took " << end.count() << " ms";
    }
  }
}
