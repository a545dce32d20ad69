// Consecutive inputs played by one engine after another in gapless mode, as the session
// plays a list: the capture of the whole must be the inputs back to back, with no silence
// and no sample lost or repeated at the joins.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

// The capture's header is written when its output closes: the size of its data then, or 0
// while the output is open.
uint32_t ClosedCaptureBytes(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  if (file.size() < 44) return 0;
  return uint32_t(file[40] | file[41] << 8 | file[42] << 16 | uint32_t(file[43]) << 24);
}

// Plays each file through a facade of its own, the next one opened as soon as the one
// before reports its end (the session's gapless hand-over), and returns what was heard.
// afterEnd runs as each input has reported its end.
std::vector<uint8_t> PlayOneAfterAnother(const std::vector<std::string>& files, const std::string& capture,
                                         const std::function<void(const std::string&)>& afterEnd = {}) {
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
  QueueMainLoop loop;
  for (const std::string& file : files) {
    auto player = std::make_unique<TSoundPlayer>(loop);
    Recorder recorder(*player);
    player->UseDirectSound(false);
    player->Open(file);
    player->Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s)) << "no end of stream for " << file;
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
    if (afterEnd) afterEnd(file);
    player->Stop();  // the window ends the facade of an input that has ended
  }
  // The last input's output lingers a moment after it has played out, then closes.
  EXPECT_TRUE(loop.RunUntil([&] { return ClosedCaptureBytes(capture) != 0; }, 10s)) << "the output never closed";
  return player_test::WavData(ReadBytes(capture));
}

// The length of the longest run of silent frames in pcm (16-bit stereo).
size_t LongestSilence(const std::vector<uint8_t>& pcm) {
  const auto* samples = reinterpret_cast<const int16_t*>(pcm.data());
  size_t longest = 0, run = 0;
  for (size_t frame = 0; frame < pcm.size() / 4; ++frame) {
    run = samples[2 * frame] == 0 && samples[2 * frame + 1] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

// Catches a gap, a click or a lost tail between two WAV inputs (the second engine waited
// for the first one's output to drain, or opened the device anew) and a first input whose
// last buffers are cut when its engine goes away: two halves of one tone, split off the
// buffer grid, come out as the whole tone.
TEST(GaplessPlayback, TwoWavHalvesOfOneToneComeOutAsTheWholeTone) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::vector<unsigned char> wav = player_test::ToneWav(44100, 2, 1.5, {440.0, 1000.0});
  const std::vector<uint8_t> tone = player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end()));
  const size_t split = 4 * 33333;  // bytes: not a whole number of the engines' buffers
  const std::vector<int16_t> first(reinterpret_cast<const int16_t*>(tone.data()),
                                   reinterpret_cast<const int16_t*>(tone.data() + split));
  const std::vector<int16_t> second(reinterpret_cast<const int16_t*>(tone.data() + split),
                                    reinterpret_cast<const int16_t*>(tone.data() + tone.size()));
  test_media::WriteFile(dir.File("a.wav"), test_media::WavBytes(44100, 2, first));
  test_media::WriteFile(dir.File("b.wav"), test_media::WavBytes(44100, 2, second));
  const std::vector<uint8_t> heard = PlayOneAfterAnother({dir.File("a.wav"), dir.File("b.wav")}, dir.File("heard.wav"));
  ASSERT_EQ(heard.size(), tone.size());
  EXPECT_TRUE(heard == tone) << "the halves did not follow each other sample for sample";
  EXPECT_LE(LongestSilence(heard), 44u) << "a gap of more than 1 ms";
}

// Catches the decoder library's player draining its output at the end of an input (a gap
// of the device's length between two MP3 files) or its next player opening a device of its
// own: two halves encoded by lame come out as their decodings back to back.
TEST(GaplessPlayback, TwoMp3HalvesFollowEachOtherWithoutSilenceAdded) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::string a = dir.File("a.mp3"), b = dir.File("b.mp3");
  ASSERT_TRUE(player_test::MakeMp3(a, 44100, 2, 1.0, {440.0}));
  ASSERT_TRUE(player_test::MakeMp3(b, 44100, 2, 1.0, {440.0}));
  std::vector<uint8_t> expected = player_test::ReferenceDecode(a);
  const std::vector<uint8_t> second = player_test::ReferenceDecode(b);
  ASSERT_FALSE(expected.empty());
  expected.insert(expected.end(), second.begin(), second.end());
  const std::vector<uint8_t> heard = PlayOneAfterAnother({a, b}, dir.File("heard.wav"));
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_TRUE(heard == expected) << "silence or lost audio between the decoded halves";
}

// Catches the decoder library keeping an output of its own apart from the WAV engine's (an
// MP3 input then a WAV one of the same format opened a second stream beside the first
// one's tail, and the other way round): MP3, WAV, MP3 come out back to back.
TEST(GaplessPlayback, Mp3AndWavOfOneFormatHandOverSampleForSample) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::string a = dir.File("a.mp3"), b = dir.File("b.wav"), c = dir.File("c.mp3");
  ASSERT_TRUE(player_test::MakeMp3(a, 44100, 2, 1.0, {440.0}));
  ASSERT_TRUE(player_test::MakeMp3(c, 44100, 2, 1.0, {660.0}));
  const std::vector<unsigned char> wav = player_test::ToneWav(44100, 2, 1.0, {1000.0});
  test_media::WriteFile(b, wav);
  std::vector<uint8_t> expected = player_test::ReferenceDecode(a);
  ASSERT_FALSE(expected.empty());
  const std::vector<uint8_t> middle = player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end()));
  const std::vector<uint8_t> last = player_test::ReferenceDecode(c);
  expected.insert(expected.end(), middle.begin(), middle.end());
  expected.insert(expected.end(), last.begin(), last.end());
  const std::vector<uint8_t> heard = PlayOneAfterAnother({a, b, c}, dir.File("heard.wav"));
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_TRUE(heard == expected) << "the inputs overlapped or a gap came between them";
}

// Catches the MP3 engine's tail lingering where the program's outputs cannot see it: a WAV
// input of another format must wait for that tail to play out, then open its own output
// (not record beside it).
TEST(GaplessPlayback, AnotherFormatWaitsForTheMp3EnginesTail) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::string a = dir.File("a.mp3"), b = dir.File("b.wav");
  ASSERT_TRUE(player_test::MakeMp3(a, 44100, 2, 1.0, {440.0}));
  const std::vector<unsigned char> wav = player_test::ToneWav(22050, 2, 1.0, {1000.0});
  test_media::WriteFile(b, wav);
  const std::vector<uint8_t> heard = PlayOneAfterAnother({a, b}, dir.File("heard.wav"), [&](const std::string& file) {
    if (file == a) {
      EXPECT_TRUE(OutputLingers()) << "the MP3 engine's tail lingers out of the program's sight";
    }
  });
  uint32_t rate = 0;
  (void)player_test::WavData(ReadBytes(dir.File("heard.wav")), nullptr, &rate);
  EXPECT_EQ(rate, 22050u);
  EXPECT_TRUE(heard == player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end())))
      << "the WAV input was recorded beside the MP3 tail";
}

// Catches a user's Stop after the last input has ended that leaves its tail playing (up to
// the engine's whole ring, a second and a half).
TEST(GaplessPlayback, StopSilencesTheLingeringTail) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::vector<unsigned char> wav = player_test::ToneWav(44100, 2, 3.0, {440.0});
  test_media::WriteFile(dir.File("a.wav"), wav);
  const std::string capture = dir.File("heard.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=2").c_str());
  QueueMainLoop loop;
  {
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(dir.File("a.wav"));
    player.Play();
    ASSERT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s));
    player.Stop();
  }
  // The engine has gone with up to its whole ring still to play: the session's Stop.
  DropLingeringOutput();
  EXPECT_FALSE(OutputLingers());
  ASSERT_TRUE(loop.RunUntil([&] { return ClosedCaptureBytes(capture) != 0; }, 5s));
  const uint32_t recorded = ClosedCaptureBytes(capture);
  EXPECT_LT(recorded, wav.size() - 44) << "the tail played on after Stop";
}
