// Loudness and ReplayGain: measured values against ffmpeg's EBU R128 meter, the album
// gated over all of its tracks' blocks, and the errors of unusable input.
#include "maker/codec/loudness.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "common/fd_io.h"
#include "common/unique_fd.h"
#include "common/wav_header.h"

namespace {

// A piece of test audio: interleaved 16-bit samples.
struct Audio {
  uint16_t channels = 2;
  uint32_t sampleRate = 44100;
  std::vector<int16_t> samples;
};

// `seconds` of white noise at `amplitude` (0..1 of full scale) with a 1 kHz tone of the
// same amplitude under it, different in each channel; deterministic.
Audio Noise(double seconds, double amplitude, uint16_t channels = 2, uint32_t sampleRate = 44100, uint32_t seed = 1) {
  Audio audio{channels, sampleRate, {}};
  const auto frames = static_cast<size_t>(seconds * sampleRate);
  uint32_t state = seed;
  for (size_t frame = 0; frame < frames; ++frame) {
    for (uint16_t channel = 0; channel < channels; ++channel) {
      state = state * 1664525u + 1013904223u;
      const double noise = (static_cast<double>(state >> 8) / (1u << 24)) * 2 - 1;
      const double tone = std::sin(2 * std::numbers::pi * 1000 * frame / sampleRate + channel);
      audio.samples.push_back(static_cast<int16_t>(std::lround(16000 * amplitude * (noise + tone))));
    }
  }
  return audio;
}

Audio Joined(const Audio& a, const Audio& b) {
  Audio joined = a;
  joined.samples.insert(joined.samples.end(), b.samples.begin(), b.samples.end());
  return joined;
}

void WriteWav(const std::string& path, const Audio& audio) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  ASSERT_TRUE(fd);
  const auto bytes = static_cast<uint32_t>(audio.samples.size() * 2);
  ASSERT_EQ(WriteWavHeader(fd.Get(), audio.channels == 1, audio.sampleRate, bytes), kWavWriteOk);
  ASSERT_TRUE(WriteAll(fd.Get(), audio.samples.data(), bytes));
}

std::string Run(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

bool HaveFfmpeg() { return Run("command -v ffmpeg").find("ffmpeg") != std::string::npos; }

// ffmpeg's integrated loudness (its last running value, which has three decimals) and
// sample peak in dBFS (one decimal) of a file.
struct FfmpegLoudness {
  double lufs = NAN;
  double peakDb = NAN;
};
FfmpegLoudness MeasureWithFfmpeg(const std::string& path) {
  const std::string output = Run("ffmpeg -nostats -hide_banner -i '" + path +
                                 "' -af ebur128=peak=sample:metadata=1,ametadata=mode=print:key=lavfi.r128.I -f null -");
  FfmpegLoudness result;
  const std::string key = "lavfi.r128.I=";
  if (const size_t at = output.rfind(key); at != std::string::npos) result.lufs = std::stod(output.substr(at + key.size()));
  const std::string peak = "Peak:";
  if (const size_t at = output.rfind(peak); at != std::string::npos) result.peakDb = std::stod(output.substr(at + peak.size()));
  return result;
}

TrackLoudness Measure(const std::string& path) {
  auto measured = MeasureWavLoudness(path);
  EXPECT_TRUE(measured.Ok()) << (measured.Ok() ? "" : measured.Error().text);
  return measured.Ok() ? measured.Value() : TrackLoudness{};
}

// Catches a wrong channel weighting, sample conversion, rate or gate: loudness, peak and
// the track gain of stereo and mono audio at two rates agree with ffmpeg within 0.1 dB.
TEST(MeasureWavLoudness, AgreesWithFfmpegWithinATenthOfADecibel) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  ScratchDir dir;
  const struct {
    const char* name;
    Audio audio;
  } cases[] = {
      {"loud stereo", Noise(6, 0.9)},
      {"quiet stereo", Noise(5, 0.05, 2, 44100, 7)},
      {"mono 48 kHz", Noise(4, 0.3, 1, 48000, 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("track.wav");
    WriteWav(path, c.audio);
    const TrackLoudness ours = Measure(path);
    const FfmpegLoudness reference = MeasureWithFfmpeg(path);
    ASSERT_FALSE(std::isnan(reference.lufs));
    ASSERT_FALSE(std::isnan(reference.peakDb));
    EXPECT_NEAR(ours.integratedLufs, reference.lufs, 0.1);
    EXPECT_NEAR(20 * std::log10(ours.peak), reference.peakDb, 0.1);
    const std::vector<ReplayGainValues> gains = AlbumReplayGains({ours});
    ASSERT_EQ(gains.size(), 1u);
    EXPECT_NEAR(gains[0].trackGain, -18 - reference.lufs, 0.1);
    EXPECT_DOUBLE_EQ(gains[0].trackPeak, ours.peak);
  }
}

// Catches an album gain averaged from the tracks' gains: it is the loudness of the album's
// blocks gated together, which is what the two tracks measured as one file give.
TEST(AlbumReplayGains, GatesTheAlbumOverAllBlocksOfItsTracks) {
  ScratchDir dir;
  const Audio loud = Noise(8, 0.6);
  const Audio quiet = Noise(4, 0.15, 2, 44100, 5);
  WriteWav(dir.File("loud.wav"), loud);
  WriteWav(dir.File("quiet.wav"), quiet);
  WriteWav(dir.File("album.wav"), Joined(loud, quiet));
  const TrackLoudness loudTrack = Measure(dir.File("loud.wav"));
  const TrackLoudness quietTrack = Measure(dir.File("quiet.wav"));
  const TrackLoudness whole = Measure(dir.File("album.wav"));

  const std::vector<ReplayGainValues> gains = AlbumReplayGains({loudTrack, quietTrack});
  ASSERT_EQ(gains.size(), 2u);
  const double averaged = (gains[0].trackGain + gains[1].trackGain) / 2;
  EXPECT_GT(std::abs(gains[0].albumGain - averaged), 0.5) << "the album gain is the tracks' average";
  // Only the few blocks that span the join, and the meter's histogram steps, differ.
  EXPECT_NEAR(gains[0].albumGain, -18 - whole.integratedLufs, 0.1);
  EXPECT_EQ(gains[0].albumGain, gains[1].albumGain);
  EXPECT_DOUBLE_EQ(gains[0].albumPeak, std::max(loudTrack.peak, quietTrack.peak));
  EXPECT_DOUBLE_EQ(gains[1].albumPeak, gains[0].albumPeak);
  EXPECT_DOUBLE_EQ(gains[1].trackPeak, quietTrack.peak);
  EXPECT_LT(gains[0].trackGain, gains[1].trackGain);
}

// Catches a silent track turning into an infinite gain, and an album of silence and music
// whose silence drags the album value down.
TEST(AlbumReplayGains, SilenceHasNoGainAndDoesNotMoveTheAlbum) {
  ScratchDir dir;
  Audio silence{2, 44100, std::vector<int16_t>(2 * 44100 * 3, 0)};
  WriteWav(dir.File("silence.wav"), silence);
  WriteWav(dir.File("music.wav"), Noise(5, 0.4));
  const TrackLoudness quiet = Measure(dir.File("silence.wav"));
  const TrackLoudness music = Measure(dir.File("music.wav"));
  EXPECT_EQ(quiet.peak, 0.0);
  const std::vector<ReplayGainValues> gains = AlbumReplayGains({quiet, music});
  ASSERT_EQ(gains.size(), 2u);
  EXPECT_EQ(gains[0].trackGain, 0.0);
  EXPECT_TRUE(std::isfinite(gains[0].albumGain));
  EXPECT_NEAR(gains[0].albumGain, gains[1].trackGain, 0.01);
  EXPECT_TRUE(AlbumReplayGains({}).empty());
}

// Catches a measurement that reads what is not 16-bit PCM audio as if it were, or that
// ignores Cancel.
TEST(MeasureWavLoudness, RefusesUnusableInputAndStopsOnCancel) {
  ScratchDir dir;
  WriteTestWav(dir.File("eight.wav"), 2, 44100, 1000, /*bitsPerSample=*/8);
  WriteFile(dir.File("text.wav"), "not a wave file at all, only words");
  for (const std::string name : {"eight.wav", "text.wav", "missing.wav"}) {
    const auto measured = MeasureWavLoudness(dir.File(name));
    ASSERT_FALSE(measured.Ok()) << name;
    EXPECT_NE(measured.Error().text.find(dir.File(name)), std::string::npos) << measured.Error().text;
  }
  EXPECT_EQ(MeasureWavLoudness(dir.File("missing.wav")).Error().category, ErrorCategory::Io);

  WriteWav(dir.File("music.wav"), Noise(2, 0.4));
  std::atomic<bool> cancelled{true};
  const auto stopped = MeasureWavLoudness(dir.File("music.wav"), &cancelled);
  ASSERT_FALSE(stopped.Ok());
  EXPECT_EQ(stopped.Error().category, ErrorCategory::Cancelled);
}

}  // namespace
