// Helpers of the FLAC adapter tests: WAV files of varied audio and the reference tool.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/maker/codec/codec_test_support.h"

// Writes a canonical 16-bit PCM WAV of `frames` periods whose channels differ (a tone
// with a drifting pitch in one, pseudo-random noise with full-scale peaks in the other), so a
// codec that swaps, merges or clips channels cannot pass a byte comparison. Returns the
// data chunk's bytes.
inline std::string WriteVariedWav(const std::string& path, uint16_t channels, uint32_t sampleRate, uint32_t frames,
                                  uint32_t seed = 1) {
  std::string data;
  data.reserve(size_t{frames} * channels * 2);
  uint32_t noise = seed * 2654435761u + 12345u;
  double phase = 0.0;
  for (uint32_t i = 0; i < frames; ++i) {
    phase += 2.0 * 3.14159265358979 * (220.0 + 0.01 * (i % 40000)) / sampleRate;
    const double tone = 20000.0 * std::sin(phase);
    for (uint16_t c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      int32_t value = c == 0 ? static_cast<int32_t>(tone) + static_cast<int32_t>(noise >> 28) - 8
                             : static_cast<int16_t>(noise >> 16);
      if (i % 9973 == 0) value = (c == 0) ? 32767 : -32768;
      value = value > 32767 ? 32767 : (value < -32768 ? -32768 : value);
      data += static_cast<char>(value & 0xFF);
      data += static_cast<char>((value >> 8) & 0xFF);
    }
  }
  WriteTestWav(path, channels, sampleRate, 0);
  std::string bytes = ReadFile(path);
  const auto size = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) {
    bytes[4 + i] = static_cast<char>((size + 36) >> (8 * i));
    bytes[40 + i] = static_cast<char>(size >> (8 * i));
  }
  WriteFile(path, bytes + data);
  return data;
}

// The audio of a WAV the adapters wrote (the 80-byte header of WriteWavHeader64 skipped).
inline std::string WavAudio(const std::string& path, size_t headerBytes = 80) {
  const std::string bytes = ReadFile(path);
  return bytes.size() > headerBytes ? bytes.substr(headerBytes) : std::string();
}

// Compares audio bytes; on a difference says where, instead of printing megabytes.
inline ::testing::AssertionResult SameAudio(const std::string& got, const std::string& expected) {
  if (got == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "got " << got.size() << " bytes, expected " << expected.size()
                                       << "; the first difference is at byte " << at;
}

// True when the `flac` program is installed (the tests that compare with it skip otherwise).
inline bool HaveFlacTool() { return std::system("command -v flac >/dev/null 2>&1") == 0; }

// Runs a shell command quietly; true when it exits with 0.
inline bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}
