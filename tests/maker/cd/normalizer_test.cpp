// Normalization: thresholds, single-precision scaling, and the loop over the file.
#include "maker/cd/normalizer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/unique_fd.h"
#include "common/wav_header.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

// Catches: peak percentages off by one at the thresholds (float rounding, -32768).
TEST(NormalizerTest, PeakPercentages) {
  EXPECT_EQ(PeakMagnitude(30000, -100), 30000);
  EXPECT_EQ(PeakMagnitude(100, -32768), 32768);
  EXPECT_EQ(PeakPercent(30000), 91);
  EXPECT_EQ(PeakPercent(32000), 97);
  EXPECT_EQ(PeakPercent(32767), 100);
  EXPECT_EQ(PeakPercent(32768), 100);
  EXPECT_FLOAT_EQ(NormalizeFactor(100, 30000), 32767.0f / 30000.0f);
}

// Catches: rounding toward zero instead of floor(x + 0.5), and wrap-around at full scale.
TEST(NormalizerTest, SamplesRoundHalfUp) {
  EXPECT_EQ(ScaleSample(-1, 1.5f), -1);
  EXPECT_EQ(ScaleSample(3, 1.5f), 5);
  EXPECT_EQ(ScaleSample(30000, NormalizeFactor(100, 30000)), 32767);
  EXPECT_EQ(ScaleSample(-30000, NormalizeFactor(100, 30000)), -32767);
  EXPECT_EQ(ScaleSample(-32768, NormalizeFactor(100, 32768)), -32767);
}

struct Normalized {
  std::string error;
  std::vector<std::string> lines;
  std::vector<int16_t> samples;
  ErrorCategory category = ErrorCategory::Io;
  ErrorPosition position{};
};

Normalized Normalize(const std::vector<int16_t>& audio, int peak, NormalizeSettings settings, uint32_t claimBytes = 0) {
  testcd::TempDir dir;
  UniqueFd fd(open(dir.File("t.wav").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
  EXPECT_EQ(WriteWavHeader(fd.Get(), false, 44100, 0), kWavWriteOk);
  EXPECT_EQ(write(fd.Get(), audio.data(), audio.size() * 2), static_cast<ssize_t>(audio.size() * 2));
  Normalized outcome;
  NormalizeHooks hooks;
  hooks.log = [&](const std::string& line) { outcome.lines.push_back(line); };
  hooks.progress = [](int64_t, int64_t) {};
  hooks.stop = [] { return false; };
  const uint32_t bytes = claimBytes != 0 ? claimBytes : static_cast<uint32_t>(audio.size() * 2);
  const Outcome normalized = NormalizeTrack(fd.Get(), bytes, false, 44100, peak, settings, hooks);
  // The reader thread logs a failure as "    Error: " and its text.
  if (!normalized) {
    outcome.error = "    Error: " + normalized.Error().Message();
    outcome.category = normalized.Error().category;
    outcome.position = normalized.Error().position;
  }
  const auto file = testcd::ReadFile(dir.File("t.wav"));
  outcome.samples.resize((file.size() - 44) / 2);
  std::memcpy(outcome.samples.data(), file.data() + 44, outcome.samples.size() * 2);
  return outcome;
}

// Catches: a scaled track that differs from floor(s x f + 0.5) anywhere, including across
// the 4 096-byte block edges.
TEST(NormalizerTest, QuietTrackIsScaledToTheTarget) {
  std::vector<int16_t> audio = testcd::Noise(5, 3, 30000);
  audio[7] = 30000;
  const Normalized outcome = Normalize(audio, 30000, {});
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.lines, std::vector<std::string>{"    Normalizing."});
  const float f = NormalizeFactor(100, 30000);
  ASSERT_EQ(outcome.samples.size(), audio.size());
  for (size_t i = 0; i < audio.size(); ++i) ASSERT_EQ(outcome.samples[i], ScaleSample(audio[i], f)) << i;
  EXPECT_EQ(outcome.samples[7], 32767);
}

// Catches: scaling tracks that are already within the bounds or at the target.
TEST(NormalizerTest, TracksWithinTheBoundsAreLeftAlone) {
  const std::vector<int16_t> audio = testcd::Noise(2, 4, 32000);
  for (auto [peak, settings] : {std::pair{32000, NormalizeSettings{}}, {32768, NormalizeSettings{}},
                                {32767, NormalizeSettings{50, 95, 100}}, {16384, NormalizeSettings{50, 95, 100}}}) {
    const Normalized outcome = Normalize(audio, peak, settings);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.lines, (std::vector<std::string>{"    Normalizing.", "    Normalization not needed."}));
    EXPECT_EQ(outcome.samples, audio);
  }
}

// Catches: an endless loop when the file holds less audio than was reported.
TEST(NormalizerTest, ShortFileEndsWithReadError) {
  const std::vector<int16_t> audio = testcd::Noise(2, 5, 10000);
  const Normalized outcome = Normalize(audio, 10000, {}, static_cast<uint32_t>(audio.size() * 2 + 10000));
  EXPECT_EQ(outcome.error, "    Error: Cannot read file.");
  // The file ended before its audio: bad data, where the audio claimed ran out.
  EXPECT_EQ(outcome.category, ErrorCategory::Format);
  EXPECT_EQ(outcome.position.unit, ErrorPosition::Unit::Byte);
  EXPECT_EQ(outcome.position.value, 44 + audio.size() * 2);
  EXPECT_EQ(outcome.samples[0], ScaleSample(audio[0], NormalizeFactor(100, 10000)));
}

}  // namespace
