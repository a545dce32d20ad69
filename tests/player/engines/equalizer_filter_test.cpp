// The equalizer on every engine: the filter of the WAV and AAC engines against the MP3
// engine's equalizer on pink noise, and the filter's own guarantees (bit-exact when flat,
// saturation, stability, following a change at once).
#include <gtest/gtest.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

#include "player/control/equalizer_record.h"
#include "player/engines/equalizer_filter.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kRate = 44100;

// Stereo pink noise (power falling 3 dB per octave), each channel on its own, at an RMS
// level of about -30 dBFS so that a 12 dB lift does not reach full scale (clipping would
// spread sound into every band).
std::vector<int16_t> PinkNoise(size_t frames, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> phase(0.0, 2 * M_PI);
  std::vector<int16_t> pcm(frames * 2);
  std::vector<double> time(frames);
  std::vector<std::complex<double>> spectrum(frames / 2 + 1);
  for (int c = 0; c < 2; ++c) {
    spectrum[0] = 0;
    for (size_t k = 1; k < spectrum.size(); ++k) spectrum[k] = std::polar(1.0 / std::sqrt(double(k)), phase(random));
    fftw_plan plan = fftw_plan_dft_c2r_1d(int(frames), reinterpret_cast<fftw_complex*>(spectrum.data()), time.data(),
                                          FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    double sum = 0;
    for (double v : time) sum += v * v;
    const double scale = 0.03 * 32767.0 / std::sqrt(sum / double(frames));
    for (size_t i = 0; i < frames; ++i)
      pcm[i * 2 + size_t(c)] = int16_t(std::clamp(std::lround(time[i] * scale), -32768l, 32767l));
  }
  return pcm;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// The power of channel in each of the 32 bands (Welch: Hann windows of 1024, half
// overlapping), skipping the first and last quarter second.
std::array<double, 32> BandPowers(const std::vector<int16_t>& pcm, int channels, int channel) {
  constexpr size_t n = 1024;
  std::vector<double> in(n);
  std::vector<std::complex<double>> out(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(int(n), in.data(), reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE);
  std::array<double, 32> bands{};
  const size_t frames = pcm.size() / size_t(channels);
  const size_t skip = kRate / 4;
  for (size_t start = skip; start + n + skip <= frames; start += n / 2) {
    for (size_t i = 0; i < n; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n));
      in[i] = w * pcm[(start + i) * size_t(channels) + size_t(channel)];
    }
    fftw_execute(plan);
    // Band b holds the bins of b/64 .. (b+1)/64 of the rate: 16 bins each; the bins on an
    // edge count half to either side.
    for (size_t k = 0; k <= n / 2; ++k) {
      const double p = std::norm(out[k]);
      const size_t band = std::min<size_t>(k / 16, 31);
      if (k % 16 == 0 && k > 0 && k < n / 2) {
        bands[band] += p / 2;
        bands[band - 1] += p / 2;
      } else {
        bands[band] += p;
      }
    }
  }
  fftw_destroy_plan(plan);
  return bands;
}

// The gain in dB of each band from plain to equalized, both channels together.
std::array<double, 32> BandGains(const std::vector<int16_t>& plain, const std::vector<int16_t>& equalized) {
  std::array<double, 32> gains{};
  for (int c = 0; c < 2; ++c) {
    const auto p = BandPowers(plain, 2, c), e = BandPowers(equalized, 2, c);
    for (size_t b = 0; b < 32; ++b) gains[b] += 10 * std::log10(e[b] / p[b]) / 2;
  }
  return gains;
}

EqualizerValues AllMiddle() {
  EqualizerValues v;
  v.fill(kEqualizerSliderMiddle);
  return v;
}

class EqualizerOnEveryEngine : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const std::vector<int16_t> pink = PinkNoise(size_t(kRate) * 4, 26);
    const std::string source = dir_->File("pink.wav");
    test_media::WriteFile(source, test_media::WavBytes(kRate, 2, pink));
    int code = -1;
    mp3_ = dir_->File("pink.mp3");
    test_media::Run("lame --quiet -b 320 --lowpass 22050 '" + source + "' '" + mp3_ + "'", &code);
    ASSERT_EQ(code, 0);
    aac_ = dir_->File("pink.aac");
    test_media::Run("ffmpeg -v error -y -i '" + source + "' -c:a aac -b:a 256k -cutoff 22050 -f adts '" + aac_ + "'",
                    &code);
    ASSERT_EQ(code, 0);
    // The WAV engine plays what the MP3 engine decodes, so that both start from one sound.
    mp3Plain_ = new std::vector<int16_t>(Play(mp3_, nullptr));
    ASSERT_GT(mp3Plain_->size(), size_t(kRate) * 2 * 3);
    // The bands where both encoders kept the sound (at least 1 % of the noise's power).
    const auto pinkPowers = BandPowers(pink, 2, 0);
    const auto mp3Powers = BandPowers(*mp3Plain_, 2, 0);
    aacPlain_ = new std::vector<int16_t>(Play(aac_, nullptr));
    const auto aacPowers = BandPowers(*aacPlain_, 2, 0);
    for (size_t b = 0; b < 32; ++b)
      measurable_[b] = mp3Powers[b] >= 0.01 * pinkPowers[b] && aacPowers[b] >= 0.01 * pinkPowers[b];
    ASSERT_TRUE(std::all_of(measurable_.begin(), measurable_.begin() + 29, [](bool m) { return m; }));
    wav_ = dir_->File("decoded.wav");
    test_media::WriteFile(wav_, test_media::WavBytes(kRate, 2, *mp3Plain_));
  }
  static void TearDownTestSuite() {
    delete mp3Plain_;
    delete aacPlain_;
    delete dir_;
  }

  // What the engine for path plays with record (nullptr: none given), captured.
  static std::vector<int16_t> Play(const std::string& path, const EqualizerRecord* record) {
    static int count = 0;
    const std::string capture = dir_->File("heard" + std::to_string(++count) + ".wav");
    QueueMainLoop loop;
    {
      ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=64").c_str());
      // Drained and closed at its end: the capture is whole when the player has gone.
      ScopedGapless gapless(false);
      TSoundPlayer player(loop);
      Recorder recorder(player);
      player.Open(path);
      if (player.Engine() == nullptr) return {};
      if (record) player.SetCodecEqualizer(record->data());
      player.Play();
      EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 30s)) << "no end of " << path;
      player.Stop();
    }
    return Samples(player_test::WavData(ReadBytes(capture)));
  }

  static bool Measurable(size_t band) { return measurable_[band]; }

  static TempDir* dir_;
  static std::array<bool, 32> measurable_;
  static std::string mp3_, aac_, wav_;
  static std::vector<int16_t>* mp3Plain_;
  static std::vector<int16_t>* aacPlain_;
};

TempDir* EqualizerOnEveryEngine::dir_ = nullptr;
std::string EqualizerOnEveryEngine::mp3_, EqualizerOnEveryEngine::aac_, EqualizerOnEveryEngine::wav_;
std::vector<int16_t>* EqualizerOnEveryEngine::mp3Plain_ = nullptr;
std::vector<int16_t>* EqualizerOnEveryEngine::aacPlain_ = nullptr;
std::array<bool, 32> EqualizerOnEveryEngine::measurable_{};

}  // namespace

// Catches WAV and AAC playback that ignores the equalizer, a band map or band gain that
// differs from the MP3 decoder's, and edges blended too sharply or too softly: every one
// of the 32 bands within 1 dB of the MP3 engine's gain, for a few slider settings.
TEST_F(EqualizerOnEveryEngine, WavAndAacFollowTheMp3EnginesResponseWithin1dBPerBand) {
  struct Setting {
    const char* name;
    EqualizerValues values;
  };
  std::vector<Setting> settings;
  EqualizerValues top11 = AllMiddle();
  top11[11] = 0;
  settings.push_back({"slider 11 at the top", top11});
  settings.push_back({"a smile", {40, 70, 100, 127, 160, 200, 200, 160, 127, 90, 60, 30}});
  // Neighbouring bands 36 dB apart: the edges' blend decides these.
  settings.push_back({"single bands at the ends", {0, 255, 0, 255, 0, 255, 0, 127, 127, 127, 127, 127}});
  settings.push_back({"extremes side by side", {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255}});
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.name);
    const EqualizerRecord record = BuildEqualizerRecord(s.values);
    const auto mp3 = BandGains(*mp3Plain_, Play(mp3_, &record));
    const auto wav = BandGains(*mp3Plain_, Play(wav_, &record));
    const auto aac = BandGains(*aacPlain_, Play(aac_, &record));
    for (size_t b = 0; b < 32; ++b) {
      // Above its low-pass an encoder leaves no sound to measure a gain on.
      if (!Measurable(b)) continue;
      EXPECT_NEAR(wav[b], mp3[b], 1.0) << "WAV band " << b;
      EXPECT_NEAR(aac[b], mp3[b], 1.0) << "AAC band " << b;
    }
    if (getenv("ZB_EQ_PRINT")) {
      for (size_t b = 0; b < 32; ++b) printf("%2zu %7.2f %7.2f %7.2f\n", b, mp3[b], wav[b], aac[b]);
    }
  }
}

// Catches a slider change heard only after everything queued on the output has played
// (over a second of audio with the WAV engine's ring): the change reaches the sound as soon
// as what the device already holds has played.
TEST_F(EqualizerOnEveryEngine, WavEngineFollowsASliderWhilePlaying) {
  const std::string tone = dir_->File("low.wav"), capture = dir_->File("low-heard.wav");
  test_media::WriteFile(tone, player_test::ToneWav(kRate, 2, 8, {200.0}, 0.1));
  EqualizerValues values = AllMiddle();
  values[0] = 0;  // band 0 lifted by 12 dB
  const EqualizerRecord lifted = BuildEqualizerRecord(values), flat{};
  size_t playedAtChange = 0;
  QueueMainLoop loop;
  {
    ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=8").c_str());
    ScopedGapless gapless(false);  // drained and closed at its end: the capture is whole
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(tone);
    player.SetCodecEqualizer(flat.data());
    player.Play();
    // Two seconds in (by what has played), the slider moves.
    ASSERT_TRUE(loop.RunUntil([&] { return recorder.OutputData().size() >= size_t(kRate) * 4 * 2; }, 30s));
    player.SetCodecEqualizer(lifted.data());
    playedAtChange = recorder.OutputData().size() / 4;
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 30s));
    player.Stop();
  }
  const std::vector<int16_t> heard = Samples(player_test::WavData(ReadBytes(capture)));
  ASSERT_GT(heard.size(), size_t(kRate) * 2 * 6);
  // The first 10 ms whose peak shows the lift.
  size_t liftedFrom = 0;
  for (size_t at = 0; at + 441 <= heard.size() / 2; at += 441) {
    int peak = 0;
    for (size_t i = at; i < at + 441; ++i) peak = std::max(peak, std::abs(int(heard[i * 2])));
    if (peak > 2 * 0.1 * 32767) {
      liftedFrom = at;
      break;
    }
  }
  ASSERT_GT(liftedFrom, 0u) << "the lift was never heard";
  // What had played when it moved is at least what the visualization had been given.
  EXPECT_GE(liftedFrom + 441, playedAtChange);
  // The device holds a tenth of a second, the output's chunk and the ring's last buffer
  // come on top: a quarter second in all.
  EXPECT_LE(liftedFrom, playedAtChange + kRate / 4)
      << "heard " << double(liftedFrom - playedAtChange) / kRate << " s after the change";
}

namespace {

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = uint8_t(random());
  return bytes;
}

EqualizerRecord RecordOf(const EqualizerValues& values) { return BuildEqualizerRecord(values); }

// A sine of amplitude (full scale 1) at hz, 16-bit stereo.
std::vector<uint8_t> Sine16(size_t frames, double hz, double amplitude) {
  std::vector<uint8_t> bytes(frames * 4);
  for (size_t i = 0; i < frames; ++i) {
    const auto v = int16_t(std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * hz * double(i) / kRate)));
    for (int c = 0; c < 2; ++c) std::memcpy(&bytes[i * 4 + size_t(c) * 2], &v, 2);
  }
  return bytes;
}

double Rms16(const uint8_t* bytes, size_t frames) {
  double sum = 0;
  for (size_t i = 0; i < frames * 2; ++i) {
    int16_t v;
    std::memcpy(&v, bytes + i * 2, 2);
    sum += double(v) * v;
  }
  return std::sqrt(sum / double(frames * 2));
}

}  // namespace

// Catches a flat equalizer (off, or every slider at the middle) that still touches the
// samples (rounding, a delay), in every sample format, also after it was on.
TEST(EqualizerFilter, FlatRecordLeavesEveryFormatBitExact) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    for (uint16_t channels : {1, 2, 6}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
      const AudioFormat format{kRate, channels, bits};
      EqualizerFilter filter;
      const EqualizerRecord flat = RecordOf(AllMiddle());
      const EqualizerRecord lifted = RecordOf({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
      const size_t bytes = 4096 / format.BytesPerFrame() * format.BytesPerFrame();
      auto expectUntouched = [&](uint32_t seed) {
        const std::vector<uint8_t> in = RandomBytes(bytes, seed);
        std::vector<uint8_t> out = in;
        filter.Process(out.data(), out.size(), format);
        EXPECT_TRUE(out == in) << "buffer " << seed;
        EXPECT_FALSE(filter.Active());
      };
      expectUntouched(1);
      filter.SetRecord(nullptr);
      expectUntouched(2);
      filter.SetRecord(flat.data());
      expectUntouched(3);
      // On, then flat again: the buffer that fades back differs, the next is exact.
      filter.SetRecord(lifted.data());
      std::vector<uint8_t> on = RandomBytes(bytes, 4);
      filter.Process(on.data(), on.size(), format);
      EXPECT_TRUE(filter.Active());
      filter.SetRecord(flat.data());
      std::vector<uint8_t> fading = RandomBytes(bytes, 5);
      filter.Process(fading.data(), fading.size(), format);
      expectUntouched(6);
    }
  }
}

// Catches a boost that wraps samples past full scale around to the other sign (a loud
// crackle) instead of holding them at full scale.
TEST(EqualizerFilter, BoostSaturatesInsteadOfWrapping) {
  const AudioFormat format{kRate, 2, 16};
  EqualizerFilter filter;
  const EqualizerRecord lifted = RecordOf({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  filter.SetRecord(lifted.data());
  const size_t frames = 16384;
  const std::vector<uint8_t> in = Sine16(frames, 500.0, 0.9);
  std::vector<uint8_t> out = in;
  for (size_t at = 0; at < out.size(); at += 8192) filter.Process(out.data() + at, 8192, format);
  int highest = 0, lowest = 0;
  for (size_t i = 4096; i < frames * 2; ++i) {
    int16_t a, b;
    std::memcpy(&a, &in[i * 2], 2);
    std::memcpy(&b, &out[i * 2], 2);
    if (a > 16000) {
      ASSERT_GT(b, 0) << "sample " << i << " wrapped";
    }
    if (a < -16000) {
      ASSERT_LT(b, 0) << "sample " << i << " wrapped";
    }
    highest = std::max<int>(highest, b);
    lowest = std::min<int>(lowest, b);
  }
  EXPECT_EQ(highest, 32767);
  EXPECT_EQ(lowest, -32768);
}

// Catches a filter that rings on or blows up at an extreme setting: an impulse dies out
// within the filter's length (to the float transform's rounding, 96 dB down), whatever
// the sliders say.
TEST(EqualizerFilter, ImpulseDiesOutAtAnySetting) {
  const AudioFormat format{kRate, 1, 32};
  const std::vector<EqualizerValues> settings = {
      {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255}, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0}};
  for (const EqualizerValues& values : settings) {
    EqualizerFilter filter;
    const EqualizerRecord record = RecordOf(values);
    filter.SetRecord(record.data());
    std::vector<int32_t> samples(8192, 0);
    std::vector<int32_t> warmup(1024, 0);
    filter.Process(warmup.data(), warmup.size() * 4, format);  // past the fade-in
    samples[0] = 1 << 28;
    filter.Process(samples.data(), samples.size() * 4, format);
    EXPECT_NE(samples[0], 0);
    for (size_t i = EqualizerFilter::kTaps; i < samples.size(); ++i) ASSERT_LE(std::abs(samples[i]), 1 << 12) << "frame " << i;
  }
}

// Catches a slider change that reaches the sound late (a queue of old settings) or only
// with the next track: the buffer after the one that takes the change plays it in full.
TEST(EqualizerFilter, FollowsAChangeWithinTwoBuffers) {
  const AudioFormat format{kRate, 2, 16};
  EqualizerFilter filter;
  // A tone in the middle of band 20 (slider 10).
  const double hz = 20.5 * kRate / 64;
  const size_t frames = 2048;
  const std::vector<uint8_t> tone = Sine16(frames * 8, hz, 0.1);
  std::vector<uint8_t> out = tone;
  for (int b = 0; b < 3; ++b) filter.Process(out.data() + size_t(b) * frames * 4, frames * 4, format);
  EqualizerValues values = AllMiddle();
  values[10] = 0;  // +12 dB
  const EqualizerRecord record = RecordOf(values);
  filter.SetRecord(record.data());
  for (int b = 3; b < 5; ++b) filter.Process(out.data() + size_t(b) * frames * 4, frames * 4, format);
  const double before = Rms16(out.data() + 2 * frames * 4, frames) / Rms16(tone.data() + 2 * frames * 4, frames);
  const double after = Rms16(out.data() + 4 * frames * 4, frames) / Rms16(tone.data() + 4 * frames * 4, frames);
  EXPECT_NEAR(20 * std::log10(before), 0.0, 0.01);
  EXPECT_NEAR(20 * std::log10(after), 12.0, 0.5);

  // Set before the first buffer, the response is there from the start, without a fade.
  EqualizerFilter fresh;
  fresh.SetRecord(record.data());
  std::vector<uint8_t> first = tone;
  fresh.Process(first.data(), frames * 4, format);
  const size_t settled = EqualizerFilter::kTaps;
  const double start = Rms16(first.data() + settled * 4, frames - settled) / Rms16(tone.data() + settled * 4, frames - settled);
  EXPECT_NEAR(20 * std::log10(start), 12.0, 0.5);
}

// Catches a change while playing that jumps from the old response to the new one at a
// buffer's first sample (a click at every slider move): the first block fades across.
TEST(EqualizerFilter, ChangeWhilePlayingFadesWithoutAStep) {
  const AudioFormat format{kRate, 2, 16};
  const size_t frames = 2048;
  const std::vector<uint8_t> tone = Sine16(frames * 4, 200.0, 0.1);
  for (bool on : {true, false}) {
    SCOPED_TRACE(on ? "switched on" : "switched off");
    EqualizerFilter filter;
    EqualizerValues values = AllMiddle();
    values[0] = 0;  // band 0 lifted by 12 dB
    const EqualizerRecord lifted = RecordOf(values), flat = RecordOf(AllMiddle());
    filter.SetRecord((on ? flat : lifted).data());
    std::vector<uint8_t> out = tone;
    for (int b = 0; b < 2; ++b) filter.Process(out.data() + size_t(b) * frames * 4, frames * 4, format);
    filter.SetRecord((on ? lifted : flat).data());
    for (int b = 2; b < 4; ++b) filter.Process(out.data() + size_t(b) * frames * 4, frames * 4, format);
    // The largest step between neighbouring samples of the lifted tone, with room to spare.
    const int allowed = int(4 * 0.1 * 32767 * 2 * M_PI * 200 / kRate * 1.5);
    int largest = 0;
    for (size_t i = frames; i < frames * 4; ++i) {
      int16_t a, b;
      std::memcpy(&a, &out[(i - 1) * 4], 2);
      std::memcpy(&b, &out[i * 4], 2);
      largest = std::max(largest, std::abs(int(b) - int(a)));
    }
    EXPECT_LE(largest, allowed);
  }
}
