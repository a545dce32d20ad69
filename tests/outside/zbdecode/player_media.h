// Test media for the player tests: WAV tones made here, MP3 files made from them by lame,
// and the reference decoding by mpg123 -w.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tests/outside/gogo/test_media.h"
#include "tests/outside/zbdecode/player_pump.h"

namespace player_test {

// A WAV of the sum of the given tones (Hz) at amplitude each, on every channel.
inline std::vector<unsigned char> ToneWav(uint32_t rate, int channels, double seconds, std::vector<double> hz,
                                          double amplitude = 0.3) {
  const uint32_t frames = uint32_t(rate * seconds);
  std::vector<int16_t> pcm(size_t(frames) * size_t(channels));
  for (uint32_t i = 0; i < frames; ++i) {
    double v = 0;
    for (double f : hz) v += amplitude * std::sin(2.0 * M_PI * f * i / rate);
    for (int c = 0; c < channels; ++c) pcm[size_t(i) * size_t(channels) + size_t(c)] = int16_t(std::lround(v * 32767.0));
  }
  return test_media::WavBytes(rate, channels, pcm);
}

// Makes path (an .mp3) from a WAV of the tones with lame; false when lame failed.
inline bool MakeMp3(const std::string& path, uint32_t rate, int channels, double seconds,
                    std::vector<double> hz = {440.0, 1000.0}, const std::string& lameOptions = "-b 192") {
  const std::string wav = path + ".src.wav";
  test_media::WriteFile(wav, ToneWav(rate, channels, seconds, hz));
  int code = -1;
  test_media::Run("lame --quiet " + lameOptions + (channels == 1 ? " -m m" : "") + " '" + wav + "' '" + path + "'",
                  &code);
  std::remove(wav.c_str());
  return code == 0;
}

// The samples mpg123 -w decodes from path.
inline std::vector<uint8_t> ReferenceDecode(const std::string& path) {
  const std::string wav = path + ".ref.wav";
  test_media::Run("mpg123 -q -w '" + wav + "' '" + path + "'");
  const auto bytes = test_media::ReadFile(wav);
  std::remove(wav.c_str());
  return WavData(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// Amplitude of one frequency in 16-bit samples of one channel (Goertzel).
inline double ToneLevel(const std::vector<uint8_t>& pcm, int channels, uint32_t rate, double hz, size_t skipFrames = 4096) {
  const size_t frames = pcm.size() / 2 / size_t(channels);
  const double w = 2.0 * M_PI * hz / rate, coefficient = 2.0 * std::cos(w);
  double s1 = 0, s2 = 0;
  size_t n = 0;
  for (size_t i = skipFrames; i + skipFrames < frames; ++i, ++n) {
    const auto* samples = reinterpret_cast<const int16_t*>(pcm.data());
    const double s = samples[i * size_t(channels)] + coefficient * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
  return n == 0 ? 0.0 : std::sqrt(std::max(0.0, power)) / double(n);
}

}  // namespace player_test
