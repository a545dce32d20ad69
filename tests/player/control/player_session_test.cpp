// Tests of the player session without a window and without Qt: a fake facade per opened
// entry, a host that records what it is asked to show, a plain main loop.
#include "player/control/player_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/audio/audio_output.h"
#include "common/audio/output_stream_title.h"
#include "common/audio/output_volume.h"
#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "player/control/system_menu.h"
#include "player/control/transport_math.h"
#include "player/engines/gapless_mode.h"
#include "player/playlist/play_list_file.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/temp_dir.h"
#include "tests/player/ui/fake_facade.h"

namespace {

constexpr int kStateEndOfStream = 3;

struct RecordingHost final : SessionHost {
  std::vector<std::string> shown;  // "title X", "info X", "error X|M", "time X", "volume N", "clear"
  bool waiting = false;            // the end-of-track wait
  int waitsStarted = 0;
  std::vector<std::string> printed;
  std::vector<std::string> noticed;

  void ShowTitle(const std::string& text) override { shown.push_back("title " + text); }
  void ShowInfo(const std::string& text) override { shown.push_back("info " + text); }
  void ShowError(const std::string& fieldText, const std::string& message) override {
    shown.push_back("error " + fieldText + "|" + message);
  }
  void ShowTime(const std::string& time) override { shown.push_back("time " + time); }
  void ShowVolumeLevel(int level) override { shown.push_back("volume " + std::to_string(level)); }
  void ClearFields() override { shown.push_back("clear"); }
  void StartEndOfTrackWait() override {
    waiting = true;
    ++waitsStarted;
  }
  void StopEndOfTrackWait() override { waiting = false; }
  void OutputData(const void*, uint32_t) override {}
  void PrintNotice(const std::string& text) override { printed.push_back(text); }
  void ShowNotice(const std::string& text) override { noticed.push_back(text); }
  bool Showed(const std::string& line) const {
    for (const std::string& s : shown)
      if (s == line) return true;
    return false;
  }
};

struct SessionFixture : testing::Test {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  PlayerSettings settings;
  FacadeLog log;
  QueueMainLoop loop;
  RecordingHost host;
  std::unique_ptr<PlayerSession> session;

  void SetUp() override {
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
    // The described two-second wait between entries; the gapless case sets its own.
    settings.gaplessPlayback = 0;
    session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  }
  void TearDown() override {
    session.reset();
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
  }
  // The engines' notifications reach the session through the loop.
  void Settle() { loop.RunPending(); }
  // The facade connected last reports the end of its input; the host's wait then ends.
  void EndTrack() {
    log.handlers.state(nullptr, kStateEndOfStream);
    Settle();
    ASSERT_TRUE(host.waiting) << "the end of an input waits before the next entry";
    session->EndOfTrackWaitOver();
  }
};

}  // namespace

// Catches an end of track that moves on at once, continuous play ignored, a list that
// starts over by itself after its last entry, and a wait left running after Stop.
TEST_F(SessionFixture, EndOfTrackWithAndWithoutContinuousPlay) {
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  EXPECT_EQ(session->LoadedFile(), "/m/a.mp3");
  log.handlers.state(nullptr, kStateEndOfStream);
  EXPECT_FALSE(host.waiting) << "a notification counts on the main thread only";
  Settle();
  EXPECT_TRUE(host.waiting);
  EXPECT_EQ(session->LoadedFile(), "/m/a.mp3") << "nothing moves before the wait is over";
  session->EndOfTrackWaitOver();
  EXPECT_FALSE(host.waiting);
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  EXPECT_EQ(session->State(), TransportState::Playing);

  EndTrack();
  EXPECT_EQ(session->List().Index(), 0);
  EXPECT_EQ(session->State(), TransportState::Stopped) << "without continuous play the list stops at its end";
  EXPECT_FALSE(session->HasFacade());
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");

  settings.continuousPlay = 1;
  session->Next();
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  EndTrack();
  EXPECT_EQ(session->List().Index(), 0);
  EXPECT_EQ(session->State(), TransportState::Playing) << "continuous play starts the list over";
  EXPECT_EQ(session->LoadedFile(), "/m/a.mp3");

  log.handlers.state(nullptr, kStateEndOfStream);
  Settle();
  session->Stop();
  EXPECT_FALSE(host.waiting) << "Stop cancels the wait";
  // Other states (playing, paused) never start the wait.
  host.waitsStarted = 0;
  session->Play();
  log.handlers.state(nullptr, 1);
  log.handlers.state(nullptr, 2);
  Settle();
  EXPECT_EQ(host.waitsStarted, 0);
}

// Catches a failure that goes unseen (a silent player), that loses its message, a player
// that says "Playing" over the silence of a failed entry, a list that stays on its failed
// entry, and a list of nothing but failures that loops for ever with continuous play.
TEST_F(SessionFixture, AFailedEntrySaysWhyThenTheNextOnePlays) {
  std::vector<SessionChange> changes;
  session->Watch([&](SessionChange c) { changes.push_back(c); });
  session->Start({"/m/broken.mp3", "/m/b.mp3"});
  host.shown.clear();
  changes.clear();
  log.handlers.error(nullptr, "Cannot open /m/broken.mp3: No such file or directory");
  Settle();
  // The field holds the reason alone (the title shows the entry), the tool tip all of it.
  EXPECT_TRUE(host.Showed("error No such file or directory|Cannot open /m/broken.mp3: No such file or directory"));
  EXPECT_TRUE(host.Showed("clear")) << "time and scope go back to rest";
  EXPECT_EQ(host.shown.back().rfind("error ", 0), 0u) << "the reason stays in view for the wait";
  EXPECT_EQ(session->State(), TransportState::Stopped) << "nothing plays while the reason shows";
  EXPECT_FALSE(session->HasFacade());
  EXPECT_TRUE(std::find(changes.begin(), changes.end(), SessionChange::Status) != changes.end());
  ASSERT_TRUE(host.waiting) << "the reason shows for a moment, then the list goes on";
  session->EndOfTrackWaitOver();
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  EXPECT_EQ(session->State(), TransportState::Playing);
  EXPECT_TRUE(log.Has("open 2 /m/b.mp3"));

  // A failure of the last entry (after it played a while) ends the list stopped, as its
  // end would.
  log.handlers.timecode(nullptr, 0, 1, 0, 0);
  log.handlers.error(nullptr, "Cannot play /m/b.mp3: it is a named pipe (FIFO), not a regular file");
  Settle();
  ASSERT_TRUE(host.waiting);
  session->EndOfTrackWaitOver();
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_EQ(session->List().Index(), 0);

  // With continuous play a list of nothing but failures goes round once, then stops.
  settings.continuousPlay = 1;
  session->Start({"/m/x.mp3", "/m/y.mp3", "/m/z.mp3"});
  int failures = 0;
  while (session->HasFacade() && failures < 10) {
    log.handlers.error(nullptr, "Cannot open: gone");
    Settle();
    ++failures;
    if (host.waiting) session->EndOfTrackWaitOver();
  }
  EXPECT_EQ(failures, 3) << "each entry is tried once";
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_FALSE(host.waiting);

  // An entry that played resets the count: a later failure goes on again.
  session->Play();
  log.handlers.timecode(nullptr, 0, 0, 5, 0);
  log.handlers.error(nullptr, "The stream ended: no audio for 30 seconds");
  Settle();
  EXPECT_TRUE(host.waiting) << "a failure mid-play goes on with the next entry";
}

// Catches a Pause button pressed while paused that does nothing (it resumes), one that
// starts a stopped player, and a desktop's Pause that resumes.
TEST_F(SessionFixture, PauseWhilePausedResumes) {
  session->PauseOrResume();
  EXPECT_EQ(log.made, 0);
  session->Start({"/m/a.mp3"});
  log.Clear();
  session->PauseOrResume();
  EXPECT_EQ(session->State(), TransportState::Paused);
  session->PauseOrResume();
  EXPECT_EQ(session->State(), TransportState::Playing);
  session->Pause();
  session->Pause();
  EXPECT_EQ(session->State(), TransportState::Paused) << "the desktop's Pause only pauses";
  EXPECT_EQ(log.calls, (std::vector<std::string>{"pause 1", "play 1", "pause 1"}));
}

// Catches an end of input that waits two seconds in gapless mode, a gapless setting that
// does not reach the engines, and a list that goes past its end in gapless mode.
TEST_F(SessionFixture, GaplessEndPlaysTheNextEntryAtOnce) {
  settings.gaplessPlayback = 1;
  session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  EXPECT_TRUE(GaplessPlayback());
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  log.handlers.state(nullptr, kStateEndOfStream);
  Settle();
  EXPECT_EQ(host.waitsStarted, 0) << "no wait between two entries";
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  EXPECT_EQ(session->State(), TransportState::Playing);
  log.handlers.state(nullptr, kStateEndOfStream);
  Settle();
  EXPECT_EQ(session->State(), TransportState::Stopped) << "the end of the list without continuous play";
  EXPECT_EQ(session->List().Index(), 0);

  // Turned off: the described two-second wait comes back.
  settings.gaplessPlayback = 0;
  session->GaplessSettingChanged();
  EXPECT_FALSE(GaplessPlayback());
  session->Play();
  EndTrack();
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  settings.gaplessPlayback = 1;
  session->GaplessSettingChanged();
  EXPECT_TRUE(GaplessPlayback());
}

// Catches a Stop that leaves the last entry's tail playing (the output a gapless engine
// leaves for the next entry plays what it holds, up to a second and a half), and an end of
// the list that cuts that tail short.
TEST_F(SessionFixture, StopSilencesTheTailOfTheLastEntry) {
  ScopedEnv out("ZIMBAR_AUDIO_OUT", "null");
  const AudioFormat format;
  const std::vector<uint8_t> tail(format.BytesPerSecond());
  const auto engineEnds = [&] {
    auto output = AudioOutput::Open(AudioDevice::Wave, format, nullptr);
    ASSERT_TRUE(output) << output.Error().text;
    (void)output.Value()->Queue(0, tail.data(), tail.size());
    LeaveOutputPlaying(std::move(output).Value());
  };
  settings.gaplessPlayback = 1;
  session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  session->Start({"/m/a.mp3"});
  engineEnds();
  log.handlers.state(nullptr, kStateEndOfStream);
  Settle();
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_TRUE(OutputLingers()) << "the end of the list cut the last entry's tail";
  session->Play();
  engineEnds();
  session->Stop();
  EXPECT_FALSE(OutputLingers()) << "the tail played on after Stop";
  DiscardLingeringOutput();
}

// Catches a volume that starts at full on every start instead of where it was left.
TEST_F(SessionFixture, VolumeIsSavedAndRestored) {
  EXPECT_EQ(settings.volume, -1);
  EXPECT_EQ(session->VolumeLevel(), kVolumeLevels) << "never saved: full";
  session->SetVolumeLevel(3);
  session->ShutDown();
  EXPECT_EQ(settings.volume, 3);
  session.reset();
  PlayerVolume().Set(kVolumeFull, kVolumeFull);
  session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  EXPECT_EQ(session->VolumeLevel(), 3);
  EXPECT_EQ(PlayerVolume().Left(), VolumeOfLevel(3));
  settings.volume = 99;
  session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  EXPECT_EQ(session->VolumeLevel(), kVolumeLevels) << "out of range: clamped";
}

// Catches a shuffle that reorders the list itself, a random walk that repeats an entry
// before all were played, and a continuous-play setting that cannot be read or set.
TEST_F(SessionFixture, ShuffleWalksARandomOrderAndKeepsTheList) {
  std::vector<std::string> entries;
  for (int i = 0; i < 20; ++i) entries.push_back("/m/" + std::to_string(i) + ".mp3");
  session->Start(entries);
  EXPECT_FALSE(session->ShuffleOn());
  session->SetShuffle(true);
  EXPECT_TRUE(session->ShuffleOn());
  std::vector<std::string> played{session->LoadedFile()};
  for (int i = 1; i < 20; ++i) {
    session->Next();
    played.push_back(session->LoadedFile());
  }
  EXPECT_EQ(session->List().Entries(), entries) << "the list keeps its order";
  std::vector<std::string> sorted = played;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> expected = entries;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected) << "every entry once before any again";
  EXPECT_NE(played, entries) << "a random order";
  session->Previous();
  EXPECT_EQ(session->LoadedFile(), played[18]) << "Previous walks the same order back";
  // The end of the walk is the end of the list.
  session->Next();
  log.handlers.state(nullptr, kStateEndOfStream);
  Settle();
  if (host.waiting) session->EndOfTrackWaitOver();
  EXPECT_EQ(session->State(), TransportState::Stopped);

  session->SetShuffle(false);
  session->PlayIndex(4);
  session->Next();
  EXPECT_EQ(session->LoadedFile(), "/m/5.mp3");

  EXPECT_FALSE(session->ContinuousPlay());
  session->SetContinuousPlay(true);
  EXPECT_TRUE(session->ContinuousPlay());
  EXPECT_EQ(settings.continuousPlay, 1);
}

// Catches a Pause that makes a facade, a Play after Pause that reopens the entry, a Stop
// that forgets the loaded entry, seeks outside the input or in a stream, and a seek past
// the end that does not go to the next entry.
TEST_F(SessionFixture, PauseStopAndSeekRules) {
  session->Pause();
  EXPECT_EQ(log.made, 0) << "nothing to pause";
  EXPECT_EQ(session->State(), TransportState::Stopped);
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  log.Clear();
  session->Pause();
  EXPECT_EQ(session->State(), TransportState::Paused);
  session->PlayPause();
  EXPECT_EQ(session->State(), TransportState::Playing);
  session->PlayPause();
  EXPECT_EQ(session->State(), TransportState::Paused);
  session->Play();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"pause 1", "play 1", "pause 1", "play 1"}));

  // Seeks: none while the length is unknown (a stream).
  log.Clear();
  session->Forward();
  EXPECT_EQ(session->SeekBy(5), -1);
  EXPECT_FALSE(session->SeekTo(1));
  EXPECT_TRUE(log.calls.empty());
  log.handlers.position(nullptr, 50, 100);
  Settle();
  EXPECT_EQ(session->SeekBy(-80), 0) << "before the start is the start";
  EXPECT_EQ(session->SeekBy(20), 70);
  EXPECT_TRUE(session->SeekTo(99));
  EXPECT_FALSE(session->SeekTo(100));
  EXPECT_FALSE(session->SeekTo(-1));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"seek 1 0 100", "seek 1 70 100", "seek 1 99 100"}));
  EXPECT_EQ(session->SeekBy(50), -1) << "past the end is the next entry";
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  EXPECT_EQ(session->Range(), 0u) << "the new input's length is not known yet";

  // Stop lets the facade go and keeps the entry; Play opens it again.
  log.Clear();
  session->Stop();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"stop 2", "delete 2"}));
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_EQ(session->LoadedFile(), "/m/b.mp3");
  session->Reverse();
  session->Stop();
  EXPECT_EQ(log.calls.size(), 2u) << "nothing to seek or stop";
  session->Play();
  EXPECT_TRUE(log.Has("open 3 /m/b.mp3"));
  EXPECT_EQ(log.alive, 1);
}

// Catches notifications of an earlier facade (queued before a Stop or Next, or raised
// by an engine that still runs) reaching the entry playing now, and notifications that
// arrive after the session has gone.
TEST_F(SessionFixture, LateNotificationsOfAnOldTrackAreIgnored) {
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  const FacadeHandlers first = log.handlers;
  first.position(nullptr, 30, 300);  // queued, then the track changes
  first.inputName(nullptr, "Old stream title");
  session->Next();
  first.state(nullptr, kStateEndOfStream);  // the old engine, still running
  first.error(nullptr, "old failure");
  first.streamInfo(nullptr, 0, 0, 128, 44100, 0);
  host.shown.clear();
  Settle();
  EXPECT_EQ(session->Range(), 0u);
  EXPECT_EQ(session->Position(), 0u);
  EXPECT_FALSE(host.waiting) << "the old track's end does not move the list";
  EXPECT_TRUE(host.shown.empty()) << host.shown.front();
  EXPECT_EQ(session->Now().title, "b.mp3") << "the old stream's title is not the new entry's";

  // The current facade's notifications count.
  log.handlers.position(nullptr, 3, 200);
  log.handlers.inputName(nullptr, "Radio title");
  Settle();
  EXPECT_EQ(session->Range(), 200u);
  EXPECT_EQ(session->Now().title, "Radio title");
  EXPECT_TRUE(host.Showed("title Radio title"));

  // Queued for a session that has gone: dropped, not run on freed memory.
  log.handlers.position(nullptr, 4, 200);
  session->ShutDown();
  session.reset();
  EXPECT_NO_FATAL_FAILURE(Settle());
}

// Catches the equalizer applied to the first facade only, a volume step past the ends,
// and watchers that are not told of a change.
TEST_F(SessionFixture, EqualizerVolumeAndWatchers) {
  EqualizerValues values{};
  values.fill(0);
  const EqualizerRecord record = BuildEqualizerRecord(values);
  session->SetEqualizer(record);
  std::vector<SessionChange> changes;
  const auto id = session->Watch([&](SessionChange c) { changes.push_back(c); });
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  EXPECT_EQ(log.lastEqualizer, std::vector<int8_t>(record.begin(), record.end()));
  log.lastEqualizer.clear();
  session->Next();
  EXPECT_EQ(log.lastEqualizer, std::vector<int8_t>(record.begin(), record.end())) << "each facade gets the record";
  EXPECT_EQ(changes.front(), SessionChange::NowPlaying);
  EXPECT_EQ(changes.back(), SessionChange::Status);

  changes.clear();
  EXPECT_EQ(session->VolumeLevel(), kVolumeLevels);
  session->VolumeUp();
  EXPECT_EQ(session->VolumeLevel(), kVolumeLevels);
  session->SetVolumeLevel(-4);
  EXPECT_EQ(session->VolumeLevel(), 0);
  EXPECT_TRUE(host.Showed("volume 0"));
  EXPECT_EQ(changes.back(), SessionChange::Volume);
  session->Unwatch(id);
  changes.clear();
  session->Stop();
  EXPECT_TRUE(changes.empty());
}

// Catches a chosen entry that does not play, or the current entry started again.
TEST_F(SessionFixture, PlayIndexPlaysAChosenEntryOnce) {
  session->Start({"/m/x.mp3", "/m/y.mp3"});
  session->PlayIndex(1);
  EXPECT_EQ(session->LoadedFile(), "/m/y.mp3");
  const int made = log.made;
  session->PlayIndex(1);
  EXPECT_EQ(log.made, made) << "the current entry is not started again";
}

// Catches a list that is not saved at shut-down, an index not stored, and playback left
// running.
TEST_F(SessionFixture, ShutDownSavesTheListAndStops) {
  session->Start({"/m/a.mp3", "/m/b.mp3"});
  session->Next();
  EXPECT_EQ(session->ShutDown(), "");
  EXPECT_TRUE(session->IsShutDown());
  EXPECT_EQ(session->State(), TransportState::Stopped);
  EXPECT_EQ(log.alive, 0);
  EXPECT_EQ(settings.playListIndex, 1);
  auto read = ReadPlayListFile(DefaultPlayListPath());
  ASSERT_TRUE(read);
  EXPECT_EQ(read.Value(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}));
}

// Catches a start whose arguments play nothing that falls back on the default list (or
// replaces it with an empty one at shut-down), refusals that go unsaid, and titles and
// lengths of a list file lost when the default list is saved.
TEST_F(SessionFixture, RefusedArgumentsKeepTheDefaultListAndListDetailsAreSaved) {
  ASSERT_TRUE(CreateDirectories(dir.File("home")));
  WriteText(DefaultPlayListPath(), "[playlist]\nFile1=/d/1.mp3\nTitle1=One\nLength1=61\nNumberOfEntries=1\nVersion=2\n");
  WriteText(dir.File("song.wma"), "not audio the player plays");
  auto waitForList = [&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (session->StartupListPending() && std::chrono::steady_clock::now() < deadline) {
      Settle();
      std::this_thread::yield();
    }
    Settle();
  };
  session->StartWithArguments({dir.File("song.wma")});
  waitForList();
  ASSERT_FALSE(session->StartupListPending());
  EXPECT_TRUE(session->List().Empty()) << "the default list does not play in place of the arguments";
  EXPECT_EQ(log.made, 0);
  ASSERT_EQ(host.printed.size(), 1u);
  EXPECT_NE(host.printed[0].find("song.wma"), std::string::npos);
  const std::string before = ReadText(DefaultPlayListPath());
  EXPECT_EQ(session->ShutDown(), "");
  EXPECT_EQ(ReadText(DefaultPlayListPath()), before) << "the user's list is kept";

  // A plain start reads the default list with what it tells of its entries, and saves
  // that back.
  session = std::make_unique<PlayerSession>(settings, FakeFactory(log), loop, host);
  session->StartWithArguments({});
  waitForList();
  ASSERT_EQ(session->List().Entries(), std::vector<std::string>{"/d/1.mp3"});
  ASSERT_NE(session->List().Described("/d/1.mp3"), nullptr);
  EXPECT_EQ(session->List().Described("/d/1.mp3")->title, "One");
  EXPECT_TRUE(host.Showed("title One")) << "a file without a tag is named as its list names it";
  EXPECT_EQ(session->Now().title, "One");
  EXPECT_EQ(session->Now().lengthMicroseconds, 61000000);
  EXPECT_EQ(session->ShutDown(), "");
  auto saved = ReadPlayListEntries(DefaultPlayListPath());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved.Value(), (std::vector<ListEntry>{{"/d/1.mp3", "One", 61}}));
}

// Catches a title field of "year; artist; album; title" with "YYYY" and empty fields, and
// a folder shown before a file's name.
TEST_F(SessionFixture, TheTitleFieldShowsArtistAndTitle) {
  ASSERT_TRUE(CreateDirectories(dir.File("m")));
  const std::string tagged = dir.File("m/tagged.mp3");
  Id3v1Record record = EncodeId3v1Tag({"Song", "Band", "", ""}, 30);
  WriteText(tagged, std::string(1000, '\0') + std::string(record.begin(), record.end()));
  session->Start({tagged, dir.File("m/plain.mp3")});
  EXPECT_TRUE(host.Showed("title Band \u2013 Song")) << host.shown.front();
  session->Next();
  EXPECT_TRUE(host.Showed("title plain"));
}

// Catches FLAC, Ogg Vorbis, Opus and M4A files shown by their names though they have
// tags, a full date that loses the year, a long UTF-8 title cut (inside a character or
// at all: the window fits it), and the track number and the cover beside the file not
// told to the desktop.
TEST_F(SessionFixture, TheTitleFieldAndTheDesktopTakeTheTagsOfEveryFormat) {
  std::string longTitle;
  for (int i = 0; i < 150; ++i) longTitle += "\xe6\x97\xa5\xc3\xa9";
  std::vector<std::string> entries;
  for (const format_test_files::FormatCase& c : format_test_files::kFormats) {
    const std::string path = format_test_files::MakeTaggedFile(
        dir, c, c.name, 0.5,
        {{"TITLE", longTitle}, {"ARTIST", "Band"}, {"ALBUM", "Album"}, {"DATE", "1999-04-01"}, {"TRACKNUMBER", "4"}});
    ASSERT_FALSE(path.empty()) << c.name;
    entries.push_back(path);
  }
  WriteText(dir.File("folder.jpg"), "jpeg");
  session->Start(entries);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) session->Next();
    EXPECT_TRUE(host.Showed("title Band \u2013 " + longTitle + " (Album, 1999)")) << entries[i];
    const NowPlaying now = session->Now();
    EXPECT_EQ(now.title, longTitle);
    EXPECT_EQ(now.artist, "Band");
    EXPECT_EQ(now.album, "Album");
    EXPECT_EQ(now.trackNumber, 4) << entries[i];
    EXPECT_EQ(now.coverPath, dir.File("folder.jpg"));
    EXPECT_NEAR(double(now.lengthMicroseconds), 500000.0, 60000.0) << "from the headers, before the engine tells it";
  }
}

// Catches a sound stream that the desktop's mixer names after nothing, or after the entry
// that played before.
TEST_F(SessionFixture, TheMixerNamesTheStreamAfterWhatPlays) {
  ASSERT_TRUE(CreateDirectories(dir.File("m")));
  const std::string tagged = dir.File("m/tagged.mp3");
  Id3v1Record record = EncodeId3v1Tag({"Song", "Band", "", ""}, 30);
  WriteText(tagged, std::string(1000, '\0') + std::string(record.begin(), record.end()));
  SetOutputStreamTitle("");
  session->Start({tagged, dir.File("m/plain.mp3")});
  EXPECT_EQ(OutputStreamTitle(), "Band \u2013 Song");
  session->Next();
  EXPECT_EQ(OutputStreamTitle(), "plain.mp3") << "named as the desktop names it elsewhere (MPRIS, task bar)";
}

// Catches a popup span that runs past either end of the list or leaves the current entry
// out, and a menu that offers the Shuffle key.
TEST(SystemMenu, PopupSpanAndItems) {
  EXPECT_EQ(FileListPopupSpan(0, 5).first, 0);
  EXPECT_EQ(FileListPopupSpan(0, 5).end, 5);
  EXPECT_EQ(FileListPopupSpan(-1, 0).end, 0);
  const PopupSpan middle = FileListPopupSpan(50000, 100000);
  EXPECT_EQ(middle.first, 50000 - kPopupEntries / 2);
  EXPECT_EQ(middle.end - middle.first, kPopupEntries);
  const PopupSpan last = FileListPopupSpan(99999, 100000);
  EXPECT_EQ(last.end, 100000);
  EXPECT_EQ(last.first, 100000 - kPopupEntries);
  int separators = 0;
  for (const SystemMenuItem& item : PlayerSystemMenuItems()) {
    EXPECT_NE(item.id, kCommandShuffle);
    if (!item.caption) ++separators;
  }
  EXPECT_EQ(separators, 3);
  EXPECT_EQ(PlayerSystemMenuItems().size(), 15u);
}
