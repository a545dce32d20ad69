// Helpers of the M4A adapter tests: reference runs of ffmpeg and ffprobe on files the
// tests made, and WAV sample access.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/maker/codec/codec_test_support.h"

namespace m4a_test {

// A single-quoted shell word for any path.
inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Standard output of a command line built from the test's own paths.
inline std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

inline bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

inline bool HaveFfmpeg() { return RunShell("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1"); }

// One value of `ffprobe -show_entries <entries>` ("stream=duration_ts"), "" when missing.
inline std::string ProbeValue(const std::string& path, const std::string& entries) {
  std::string value = Capture("ffprobe -v error -select_streams a:0 -show_entries " + entries +
                              " -of default=nw=1:nk=1 " + Quote(path) + " 2>/dev/null");
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

// What ffmpeg decodes from a file, as 16-bit interleaved sample bytes.
inline std::string FfmpegSamples(const std::string& path) {
  return Capture("ffmpeg -v error -i " + Quote(path) + " -f s16le - 2>/dev/null");
}

// The sample bytes behind the "data" chunk of a WAV file the maker wrote.
inline std::string WavData(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const size_t at = bytes.find("data", 12);
  return at == std::string::npos ? std::string() : bytes.substr(at + 8);
}

inline std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1])) << 8);
  }
  return samples;
}

// Signal to error ratio in dB of `got` against `want` over their common length, skipping
// `edge` samples at both ends (the codec's transients at the start and the end).
inline double SnrDb(const std::vector<int16_t>& want, const std::vector<int16_t>& got, size_t edge) {
  const size_t n = std::min(want.size(), got.size());
  double signal = 0;
  double error = 0;
  for (size_t i = edge; i + edge < n; ++i) {
    signal += double(want[i]) * want[i];
    error += (double(want[i]) - got[i]) * (double(want[i]) - got[i]);
  }
  return 10.0 * std::log10(signal / std::max(error, 1.0));
}

// A 16-bit WAV of white noise (a fixed seed), which makes an encoder spend its bit rate.
inline void WriteNoiseWav(const std::string& path, uint16_t channels, uint32_t sampleRate, uint32_t frames) {
  WriteTestWav(path, channels, sampleRate, frames);
  std::string bytes = ReadFile(path);
  uint32_t state = 12345;
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
    state = state * 1664525u + 1013904223u;
    const auto sample = static_cast<int16_t>((state >> 16) % 16000 - 8000);
    bytes[i] = static_cast<char>(sample & 0xff);
    bytes[i + 1] = static_cast<char>((sample >> 8) & 0xff);
  }
  WriteFile(path, bytes);
}

}  // namespace m4a_test
