// Mono mix-down and 22 050 Hz conversion of the reader library.
#include "outside/zbntread/pcm_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

std::vector<int16_t> StereoTone(size_t frames, double hz, double amplitude) {
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / 44100.0)));
    s[2 * i] = s[2 * i + 1] = v;
  }
  return s;
}

std::vector<int16_t> Convert(bool mono, bool halfRate, const std::vector<int16_t>& in) {
  PcmConverter converter(mono, halfRate);
  std::vector<int16_t> out;
  converter.Push(in.data(), in.size() / 2, out);
  converter.Finish(out);
  return out;
}

// Catches: mono mixes that overflow or round the wrong way at the extremes.
TEST(PcmConverterTest, MonoIsTheMeanRoundedDown) {
  const std::vector<int16_t> in = {-3, 0, 1, 2, 32767, 32767, -32768, -32768, -32768, 32767};
  EXPECT_EQ(Convert(true, false, in), (std::vector<int16_t>{-2, 1, 32767, -32768, -1}));
  EXPECT_EQ(Convert(false, false, in), in);
}

// Catches: a wrong output length, a delay or a filter that dulls the pass band, and halving
// the rate by dropping samples, which folds 15 kHz down to 7.05 kHz.
TEST(PcmConverterTest, HalfRateKeepsTheToneInPlaceAndRemovesWhatWouldFoldBack) {
  for (bool mono : {false, true}) {
    const size_t frames = 588 * 31;
    const auto out = Convert(mono, true, StereoTone(frames, 1000.0, 10000.0));
    const size_t channels = mono ? 1 : 2;
    ASSERT_EQ(out.size(), frames / 2 * channels);
    double worst = 0;
    for (size_t m = 100; m < frames / 2 - 100; ++m) {
      const double ideal = 10000.0 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(m) / 22050.0);
      for (size_t c = 0; c < channels; ++c) worst = std::max(worst, std::abs(out[m * channels + c] - ideal));
    }
    EXPECT_LT(worst, 4.0);
  }
  const auto out = Convert(false, true, StereoTone(588 * 20, 15000.0, 16000.0));
  double energy = 0;
  for (size_t i = 400; i < out.size() - 400; ++i) energy += static_cast<double>(out[i]) * out[i];
  EXPECT_LT(std::sqrt(energy / static_cast<double>(out.size() - 800)), 16.0);  // 60 dB below the tone
}

// Catches: state lost between reads, so a track would differ with the read size.
TEST(PcmConverterTest, ChunkedInputGivesTheSameOutput) {
  std::mt19937 random(5);
  std::vector<int16_t> in(2 * 10000);
  for (auto& s : in) s = static_cast<int16_t>(std::uniform_int_distribution<int>(-30000, 30000)(random));
  for (bool mono : {false, true}) {
    const auto whole = Convert(mono, true, in);
    PcmConverter converter(mono, true);
    std::vector<int16_t> pieces;
    size_t at = 0;
    while (at < in.size() / 2) {
      const size_t n = std::min<size_t>(std::uniform_int_distribution<size_t>(1, 700)(random), in.size() / 2 - at);
      converter.Push(&in[2 * at], n, pieces);
      at += n;
    }
    converter.Finish(pieces);
    EXPECT_EQ(pieces, whole);
  }
}

}  // namespace
