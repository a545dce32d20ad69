// The position the engines report follows what has been heard, not what has been read or
// decoded: measured against the clock of a capture, across a gapless hand-over and between
// the MP3 engine and the WAV engine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint64_t kBytesPerSecond = kRate * 4;
// What a timecode may run ahead of the capture: a tenth of a second, and as much again for
// the capture's file, which records what its clock has played only on its next write (a
// writer thread held back on a busy machine). The ring reading ahead runs up to 1.5 s ahead.
constexpr int64_t kSlackBytes = int64_t(kBytesPerSecond) / 5;

// Bytes of audio the capture has recorded so far: it records what its clock has played.
int64_t CapturedBytes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || st.st_size < 44) return 0;
  return int64_t(st.st_size) - 44;
}

// One timecode notification and how much of its own input the capture had recorded then.
struct Sample {
  int seconds;
  int64_t heardBytes;
};

}  // namespace

// Catches a position counted from the bytes the ring has queued (up to 1.5 s ahead of the
// sound) in the WAV or the AAC engine, and a next input whose time starts while the last
// input's tail still plays after a gapless hand-over: no timecode may run ahead of the
// capture (0:00 stands while the tail plays).
TEST(HeardPosition, TimecodeNeverRunsAheadOfTheSoundAcrossHandOvers) {
  ScopedGapless gapless(true);
  TempDir dir;
  const std::vector<unsigned char> wav = player_test::ToneWav(kRate, 2, 4.0, {440.0});
  test_media::WriteFile(dir.File("a.wav"), wav);
  test_media::WriteFile(dir.File("b.wav"), wav);
  ASSERT_TRUE(MakeAac(dir.File("c.aac"), kRate, 2, 4.0));
  const int64_t inputBytes = int64_t(player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end())).size());
  const std::string capture = dir.File("heard.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=4").c_str());
  QueueMainLoop loop;
  int64_t before = 0;  // bytes of the inputs played before this one
  for (const char* name : {"a.wav", "b.wav", "c.aac"}) {
    SCOPED_TRACE(name);
    auto player = std::make_unique<TSoundPlayer>(loop);
    Recorder recorder(*player);
    std::mutex mutex;
    std::vector<Sample> samples;
    player->SetOnNotifyInputTimecode([&](void*, uint8_t h, uint8_t m, uint8_t s, uint8_t) {
      std::lock_guard lock(mutex);
      samples.push_back({(h * 60 + m) * 60 + s, CapturedBytes(capture) - before});
    });
    player->UseDirectSound(false);
    player->Open(dir.File(name));
    player->Play();
    ASSERT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s));
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
    player->Stop();
    std::lock_guard lock(mutex);
    ASSERT_FALSE(samples.empty());
    int reached = 0;
    for (const Sample& s : samples) {
      EXPECT_LE(int64_t(s.seconds * kBytesPerSecond), std::max<int64_t>(s.heardBytes, 0) + kSlackBytes)
          << "timecode " << s.seconds << " s while " << double(s.heardBytes) / kBytesPerSecond
          << " s of this input had been heard";
      reached = std::max(reached, s.seconds);
    }
    EXPECT_GE(reached, 2) << "the timecode stood still";
    before += inputBytes;
  }
}
