// Tests of the facade: the engine choice, forwarding without an engine, a second Open,
// the remembered device choice, the volume and the failures the engines report.
#include <sys/file.h>

#include <gtest/gtest.h>

#include "player/engines/mp3_player.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

std::vector<unsigned char> SmallWav() { return player_test::ToneWav(8000, 1, 0.2, {440.0}); }

}  // namespace

// Catches URLs, WAV files named .aac, capitalised .AAC names, short names and locked files
// sent to the wrong engine.
TEST(EngineChoice, FollowsTheHeaderThenTheNameThenFallsBackToMp3) {
  TempDir dir;
  test_media::WriteFile(dir.File("real.aac"), SmallWav());
  test_media::WriteFile(dir.File("song.AAC"), {1, 2, 3, 4, 5, 6, 7, 8});
  test_media::WriteFile(dir.File("wave.mp3"), SmallWav());
  test_media::WriteFile(dir.File("other.bin"), {1, 2, 3});
  test_media::WriteFile(dir.File("locked.aac"), {1, 2, 3});
  struct Case {
    std::string name;
    std::string engine;
  };
  const Case cases[] = {
      {"http://127.0.0.1:1/x.wav", "MP3"},
      {"ftp://127.0.0.1:1/x.aac", "MP3"},
      {dir.File("real.aac"), "WAV"},
      {dir.File("wave.mp3"), "WAV"},
      {dir.File("song.AAC"), "AAC"},
      {dir.File("missing.aac"), "MP3"},
      {dir.File("other.bin"), "MP3"},
      {"aac", "MP3"},
  };
  for (const Case& c : cases) {
    const auto choice = ChosenEngine(c.name);
    ASSERT_TRUE(choice.Ok()) << c.name << ": " << choice.Error().Message();
    EXPECT_EQ(choice.Value(), c.engine) << c.name;
  }
  // Another holder's exclusive lock makes the file one that cannot be opened.
  const int holder = ::open(dir.File("locked.aac").c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(ChosenEngine(dir.File("locked.aac")).Value(), "MP3");
  ::close(holder);
  EXPECT_EQ(ChosenEngine(dir.File("locked.aac")).Value(), "AAC");
}

// Catches an operation on a facade without an engine that crashes or creates one.
TEST(SoundPlayer, EveryOperationWithoutAnEngineDoesNothing) {
  QueueMainLoop loop;
  TSoundPlayer player(loop);
  const int8_t record[64] = {};
  player.Play();
  player.Pause();
  player.Seek(1, 2);
  player.SetCodecEqualizer(record);
  player.UseDirectSound(true);
  player.Close();
  player.Stop();
  player.ApplyVolume();
  EXPECT_EQ(player.Engine(), nullptr);
}

// Catches a second Open that keeps the first engine playing beside the new one, a slot
// set after Open that does not reach the engine, and an equalizer record on the AAC
// engine that keeps it from playing (a seek past its end ends it at once).
TEST(SoundPlayer, SecondOpenReleasesTheFirstEngine) {
  TempDir dir;
  QueueMainLoop loop;
  test_media::WriteFile(dir.File("a.wav"), player_test::ToneWav(44100, 2, 2.0, {440.0}));
  ASSERT_TRUE(MakeAac(dir.File("b.aac"), 44100, 2, 0.5));
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav")).c_str());
  TSoundPlayer player(loop);
  player.Open(dir.File("a.wav"));
  ASSERT_NE(player.Wav(), nullptr);
  bool ended = false;
  player.SetOnNotifyPlayerState([&](void* sender, int state) {
    ended = ended || (state == 3 && sender == player.Aac());
  });
  player.Open(dir.File("b.aac"));
  EXPECT_EQ(player.Wav(), nullptr);
  ASSERT_NE(player.Aac(), nullptr);
  const int8_t record[64] = {-51};
  player.SetCodecEqualizer(record);
  player.Seek(100, 1);
  player.Play();
  EXPECT_TRUE(loop.RunUntil([&] { return ended; }, 20s));
}

// Catches a device choice given before Open (as the window gives it) that never reaches
// the MP3 engine, and a volume that the library is not told.
TEST(SoundPlayer, DirectSoundChoiceBeforeOpenIsApplied) {
  TempDir dir;
  QueueMainLoop loop;
  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 0.5));
  TSoundPlayer player(loop);
  player.UseDirectSound(true);
  TSoundPlayer::SetVolume(3 * kVolumeStep, 3 * kVolumeStep);
  player.Open(mp3);
  ASSERT_NE(player.Mp3(), nullptr);
  std::vector<std::string> names;
  int master = -1;
  player.Mp3()->Xaudio()->OnNotifyOutputName = [&](TXaudioPlayer*, const std::string& name) { names.push_back(name); };
  player.Mp3()->Xaudio()->OnNotifyOutputVolume = [&](TXaudioPlayer*, uint8_t m, uint8_t, uint8_t) { master = m; };
  player.Mp3()->Xaudio()->GetOutputVolume();
  player.Mp3()->Xaudio()->GetOutputName();
  EXPECT_TRUE(loop.RunUntil([&] { return master >= 0 && !names.empty() && names.back() == "/dev/dsound/0"; }, 10s))
      << (names.empty() ? "no name" : names.back());
  EXPECT_EQ(master, 30);
  EXPECT_EQ(TSoundPlayer::VolumeLeft(), 3 * kVolumeStep);
  TSoundPlayer::SetVolume(kVolumeFull, kVolumeFull);
}

// Catches a conversion of the player volume that the library's levels do not give back.
TEST(SoundPlayer, PlayerVolumeMapsToTheLibraryLevels) {
  struct Case {
    uint32_t left, right;
    int master, balance;
  };
  const Case cases[] = {{65535, 65535, 100, 50}, {0, 0, 0, 50}, {6553, 6553, 10, 50},
                        {65535, 0, 100, 0},      {0, 65535, 100, 100}, {65535, 32768, 100, 25}};
  for (const Case& c : cases) {
    const LibraryVolume v = LibraryVolumeOf(c.left, c.right);
    EXPECT_EQ(v.master, c.master) << c.left << "/" << c.right;
    EXPECT_EQ(v.balance, c.balance) << c.left << "/" << c.right;
    EXPECT_EQ(v.pcm, 100);
  }
}

// Catches failures that leave the window without a word (or hang): an output that cannot
// open, a WAV file of a coding it does not play (16-bit float), an AAC file that is missing, a library that
// lacks an entry, an MP3 that does not exist.
TEST(SoundPlayer, FailuresAreReportedAndNothingHangs) {
  TempDir dir;
  QueueMainLoop loop;
  test_media::WriteFile(dir.File("good.wav"), SmallWav());
  std::vector<unsigned char> floatWav = SmallWav();
  floatWav[20] = 3;  // IEEE float, of 16 bits: no such coding
  test_media::WriteFile(dir.File("float.wav"), floatWav);
  ASSERT_TRUE(MakeAac(dir.File("good.aac"), 44100, 2, 0.3));
  struct Case {
    std::string name, audioOut, libDir, expected;
  };
  const Case cases[] = {
      {dir.File("good.wav"), "wav:/nonexistent-folder/x.wav", "", "/nonexistent-folder/x.wav"},
      {dir.File("float.wav"), "null", "", "16-bit floating-point audio is not supported"},
      {dir.File("gone.aac"), "null", "", "gone.aac"},
      {dir.File("good.aac"), "null", ZIMBAR_FAKES_DIR "/codec-incomplete", "lacks"},
      {dir.File("gone.mp3"), "null", "", "gone.mp3"},
  };
  for (const Case& c : cases) {
    ScopedEnv out("ZIMBAR_AUDIO_OUT", c.audioOut.c_str());
    ScopedEnv lib("ZIMBAR_LIB_DIR", c.libDir.empty() ? nullptr : c.libDir.c_str());
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(c.name);
    player.Play();
    ASSERT_TRUE(loop.RunUntil([&] { return !recorder.Of(Event::Error).empty(); }, 10s)) << c.name;
    EXPECT_NE(recorder.Of(Event::Error)[0].text.find(c.expected), std::string::npos)
        << c.name << ": " << recorder.Of(Event::Error)[0].text;
    player.Stop();
    EXPECT_FALSE(recorder.HasState(3)) << c.name;
  }
}

// Catches trailing chunks counted as audio, a size beyond the file's end trusted, and the
// sizes streaming writers leave (0, 0xFFFFFFFF) read as "no audio" or as 4 GiB.
TEST(WavEngine, PlaysTheDeclaredDataBytesCappedAtTheEnd) {
  struct Case {
    uint32_t declared;
    uint64_t offset, file, expected;
  };
  const Case cases[] = {{1000, 44, 2000, 1000}, {5000, 44, 2000, 1956}, {0, 44, 2000, 1956},
                        {0xFFFFFFFFu, 44, 2000, 1956}, {100, 44, 44, 0}, {100, 60, 44, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(WavDataBytes(c.declared, c.offset, c.file), c.expected) << c.declared << " " << c.file;
  }
}

// Catches rates above 65535, which the stream record keeps only the low bits of, played
// at the wrong speed; and ordinary rates changed.
TEST(AacEngine, RecoversRatesAboveSixteenBits) {
  EXPECT_EQ(AacRecordRate(uint16_t(96000 & 0xFFFF)), 96000u);
  EXPECT_EQ(AacRecordRate(uint16_t(88200 & 0xFFFF)), 88200u);
  for (uint32_t rate : {8000u, 22050u, 44100u, 48000u, 64000u}) EXPECT_EQ(AacRecordRate(uint16_t(rate)), rate);
}
