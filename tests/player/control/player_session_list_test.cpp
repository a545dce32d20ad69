// Tests of the play list window's edits on the player session, without a window: what
// plays goes on, the current entry follows its moves, a removed one stops.
#include "player/control/player_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/audio/output_volume.h"
#include "tests/common/temp_dir.h"
#include "tests/player/ui/fake_facade.h"

namespace {

struct CountingHost final : SessionHost {
  int cleared = 0;
  void ShowTitle(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string&, const std::string&) override {}
  void ShowTime(const std::string&) override {}
  void ShowVolumeLevel(int) override {}
  void ClearFields() override { ++cleared; }
  void StartEndOfTrackWait() override {}
  void StopEndOfTrackWait() override {}
  void OutputData(const void*, uint32_t) override {}
  void PrintNotice(const std::string&) override {}
  void ShowNotice(const std::string&) override {}
};

struct SessionListFixture : testing::Test {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  PlayerSettings settings;
  FacadeLog log;
  QueueMainLoop loop;
  CountingHost host;
  std::unique_ptr<PlayerSession> session;
  std::vector<SessionChange> changes;

  void SetUp() override {
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
    session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
    session->Watch([this](SessionChange c) { changes.push_back(c); });
  }
  void TearDown() override { session.reset(); }
};

}  // namespace

// Catches an edit that restarts or stops the entry playing, a current index left where
// the entry was instead of where it went, and watchers not told of the new list.
TEST_F(SessionListFixture, EditsKeepWhatPlaysAndTellTheWatchers) {
  session->Start({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
  session->PlayEntry(1);
  ASSERT_EQ(session->LoadedFile(), "/m/b.mp3");
  EXPECT_TRUE(session->CurrentIsLoaded());
  log.Clear();
  changes.clear();
  // b moved to the end (a drag): it plays on and stays current.
  session->EditList({"/m/a.mp3", "/m/c.mp3", "/m/b.mp3"}, 2, false);
  EXPECT_TRUE(log.calls.empty()) << log.calls.front();
  EXPECT_EQ(session->List().Index(), 2);
  EXPECT_TRUE(session->CurrentIsLoaded());
  EXPECT_EQ(session->State(), TransportState::Playing);
  EXPECT_EQ(changes, std::vector<SessionChange>{SessionChange::List});
  // Next goes on from where b is now: wraps to a.
  session->Next();
  EXPECT_EQ(session->LoadedFile(), "/m/a.mp3");
}

// Catches a removed entry that goes on playing while the list no longer holds it (the
// end of the track then skipped an entry), and the wrong entry taking its place.
TEST_F(SessionListFixture, RemovingTheEntryPlayingStopsItAndItsSuccessorIsCurrent) {
  session->Start({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
  session->PlayEntry(1);
  const int cleared = host.cleared;
  session->EditList({"/m/a.mp3", "/m/c.mp3"}, 1, true);
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_GT(host.cleared, cleared);
  EXPECT_EQ(session->List().Index(), 1);
  session->Play();
  EXPECT_EQ(session->LoadedFile(), "/m/c.mp3");
  // Cleared and filled again: the first entry is current, nothing starts by itself.
  session->EditList({}, -1, true);
  EXPECT_EQ(session->State(), TransportState::Stopped);
  session->EditList({"/m/x.mp3", "/m/y.mp3"}, -1, false);
  EXPECT_EQ(session->List().Index(), 0);
  EXPECT_EQ(session->State(), TransportState::Stopped);
}

// Catches a double click on the paused entry that restarts it instead of going on, and
// one on the entry playing that opens it again.
TEST_F(SessionListFixture, PlayEntryGoesOnWithThePausedEntry) {
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  session->Pause();
  log.Clear();
  session->PlayEntry(0);
  EXPECT_EQ(log.calls, std::vector<std::string>{"play 1"});
  EXPECT_EQ(session->State(), TransportState::Playing);
  log.Clear();
  session->PlayEntry(0);
  EXPECT_TRUE(log.calls.empty());
  session->PlayEntry(1);
  EXPECT_TRUE(log.Has("open 2 /m/b.mp3"));
  session->PlayEntry(7);
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
}
