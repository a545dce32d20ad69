// The WAV engine's sample codings: integer PCM of every width plays as stored, IEEE float
// (32 and 64 bits, plain or extensible) is converted to 24-bit PCM with clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A WAV file of the given sample bytes; extensible writes the 40-byte fmt chunk whose
// SubFormat GUID starts with code.
std::vector<uint8_t> WavFile(uint16_t code, bool extensible, uint16_t channels, uint32_t rate, uint16_t bits,
                             const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> f;
  const uint32_t fmtBytes = extensible ? 40 : (code == 1 ? 16 : 18);
  f.insert(f.end(), {'R', 'I', 'F', 'F'});
  PutLe(f, 4 + 8 + fmtBytes + 8 + samples.size(), 4);
  f.insert(f.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(f, fmtBytes, 4);
  PutLe(f, extensible ? 0xFFFE : code, 2);
  PutLe(f, channels, 2);
  PutLe(f, rate, 4);
  PutLe(f, uint64_t(rate) * channels * bits / 8, 4);
  PutLe(f, channels * bits / 8, 2);
  PutLe(f, bits, 2);
  if (extensible) {
    PutLe(f, 22, 2);    // cbSize
    PutLe(f, bits, 2);  // valid bits
    PutLe(f, channels == 1 ? 4 : 3, 4);
    PutLe(f, code, 2);
    const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    f.insert(f.end(), rest, rest + 14);
  } else if (fmtBytes == 18) {
    PutLe(f, 0, 2);
  }
  f.insert(f.end(), {'d', 'a', 't', 'a'});
  PutLe(f, samples.size(), 4);
  f.insert(f.end(), samples.begin(), samples.end());
  return f;
}

// A tone near full scale with the edge values a converter gets wrong: beyond ±1.0 (to be
// clipped), exact ±1.0, halves of the 24-bit step (rounding), a NaN and infinities.
std::vector<double> FloatSignal(size_t count) {
  std::vector<double> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = 1.2 * std::sin(2.0 * M_PI * 997.0 * double(i) / 44100.0);
  const double half = 0.5 / 8388608.0;
  const double edges[] = {1.0, -1.0, 1.5, -3.0, 3 * half, -3 * half, half, -half,
                          std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 0.999999};
  for (size_t k = 0; k < std::size(edges) && k < count; ++k) v[100 + k] = edges[k];
  return v;
}

// What the output must receive for x: 24-bit, rounded half away from zero, clipped.
int32_t Expected24(double x) {
  if (std::isnan(x)) return 0;
  const double s = std::round(x * 8388608.0);
  return s > 8388607.0 ? 8388607 : s < -8388608.0 ? -8388608 : int32_t(s);
}

struct Heard {
  std::vector<uint8_t> data;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  std::vector<Event> events;
};

// Plays path through a facade into the wav: capture.
Heard Play(const TempDir& dir, const std::string& path) {
  QueueMainLoop loop;
  const std::string capture = dir.File("heard.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
  // Drained and closed at its end: the capture is whole when the player has gone.
  ScopedGapless gapless(false);
  Heard heard;
  {
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(path);
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3) || !recorder.Of(Event::Error).empty(); }, 30s));
    player.Stop();
    heard.events = recorder.Events();
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
  }
  const std::vector<uint8_t> file = ReadBytes(capture);
  heard.data = player_test::WavData(file, &heard.channels, &heard.rate);
  if (file.size() >= 36) heard.bits = uint16_t(file[34] | file[35] << 8);
  return heard;
}

struct FloatCase {
  const char* name;
  uint16_t bits;
  bool extensible;
  uint16_t channels;
  uint32_t rate;
};

void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.name; }

class FloatWav : public testing::TestWithParam<FloatCase> {};

}  // namespace

// Catches float files refused (or played as integers: loud noise), samples beyond full
// scale wrapped around instead of clipped, NaN or infinities turned into full-scale
// clicks, rounding off by one step, and the extensible chunk's float sub-format missed.
TEST_P(FloatWav, PlaysAsClipped24BitPcm) {
  const FloatCase c = GetParam();
  TempDir dir;
  const size_t frames = 30000;
  const std::vector<double> signal = FloatSignal(frames * c.channels);
  std::vector<uint8_t> samples;
  for (double x : signal) {
    if (c.bits == 64) {
      uint64_t u;
      std::memcpy(&u, &x, 8);
      PutLe(samples, u, 8);
    } else {
      const float f = float(x);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      PutLe(samples, u, 4);
    }
  }
  const std::string path = dir.File("float.wav");
  test_media::WriteFile(path, WavFile(3, c.extensible, c.channels, c.rate, c.bits, samples));
  ASSERT_EQ(ChosenEngine(path).Value(), "WAV");

  const Heard heard = Play(dir, path);
  EXPECT_EQ(heard.channels, c.channels);
  EXPECT_EQ(heard.rate, c.rate);
  EXPECT_EQ(heard.bits, 24);
  ASSERT_EQ(heard.data.size(), signal.size() * 3);
  size_t wrong = 0;
  for (size_t i = 0; i < signal.size(); ++i) {
    const double x = c.bits == 64 ? signal[i] : double(float(signal[i]));
    const int32_t got = int32_t(uint32_t(heard.data[3 * i]) << 8 | uint32_t(heard.data[3 * i + 1]) << 16 |
                                uint32_t(heard.data[3 * i + 2]) << 24) >> 8;
    if (got != Expected24(x) && wrong++ < 5) ADD_FAILURE() << "sample " << i << " of " << x << ": " << got;
  }
  EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(Codings, FloatWav,
                         testing::Values(FloatCase{"Float32Stereo", 32, false, 2, 44100},
                                         FloatCase{"Float64Mono", 64, false, 1, 48000},
                                         FloatCase{"ExtensibleFloat32Stereo", 32, true, 2, 44100},
                                         FloatCase{"ExtensibleFloat64Stereo", 64, true, 2, 96000}),
                         [](const testing::TestParamInfo<FloatCase>& info) { return std::string(info.param.name); });

// Catches the float path changing what integer files play: 8-bit (unsigned) and 24-bit
// PCM, plain and extensible, come out byte for byte as stored.
TEST(IntegerWav, EightAndTwentyFourBitPlayExactly) {
  TempDir dir;
  struct Coding {
    uint16_t bits;
    bool extensible;
  };
  for (const Coding coding : {Coding{8, false}, Coding{24, false}, Coding{24, true}, Coding{8, true}}) {
    SCOPED_TRACE(std::to_string(coding.bits) + (coding.extensible ? " extensible" : ""));
    std::vector<uint8_t> samples;
    uint32_t noise = 12345;
    for (size_t i = 0; i < 2 * 20001 * coding.bits / 8; ++i) {
      noise = noise * 1103515245u + 12345u;
      samples.push_back(uint8_t(noise >> 16));
    }
    const std::string path = dir.File("int" + std::to_string(coding.bits) + ".wav");
    test_media::WriteFile(path, WavFile(1, coding.extensible, 2, 22050, coding.bits, samples));
    const Heard heard = Play(dir, path);
    EXPECT_EQ(heard.bits, coding.bits);
    EXPECT_EQ(heard.channels, 2);
    EXPECT_TRUE(heard.data == samples) << heard.data.size() << " bytes heard of " << samples.size();
  }
}

// Catches an extensible file of another sub-format (here A-law) played as integer PCM.
TEST(IntegerWav, ExtensibleOfAnotherCodingIsRefused) {
  TempDir dir;
  const std::string path = dir.File("alaw.wav");
  test_media::WriteFile(path, WavFile(6, true, 1, 8000, 8, std::vector<uint8_t>(8000, 0xD5)));
  QueueMainLoop loop;
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav")).c_str());
  TSoundPlayer player(loop);
  Recorder recorder(player);
  player.Open(path);
  player.Play();
  ASSERT_TRUE(loop.RunUntil([&] { return !recorder.Of(Event::Error).empty(); }, 10s));
  EXPECT_NE(recorder.Of(Event::Error)[0].text.find("format 6"), std::string::npos) << recorder.Of(Event::Error)[0].text;
  player.Stop();
}
