// FLAC, Ogg Vorbis, Opus and M4A files made by the reference encoders, played through the
// facade into the wav: capture output, against what the reference decoders make of the same
// files: the samples, the length, the join of two halves in gapless mode, the ReplayGain
// factor and the landing of a seek.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "common/tags/audio_file_tags.h"
#include "player/engines/playback_gain.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

enum class Format { Flac, Vorbis, Opus, M4a };

std::string NameOf(Format format) {
  switch (format) {
    case Format::Flac:
      return "Flac";
    case Format::Vorbis:
      return "Vorbis";
    case Format::Opus:
      return "Opus";
    case Format::M4a:
      return "M4a";
  }
  return "?";
}

std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  quoted += path;
  quoted += "'";
  return quoted;
}

// The shell command that encodes the WAV file wav into out in format.
std::string EncodeCommand(Format format, const std::string& wav, const std::string& out) {
  std::string command;
  switch (format) {
    case Format::Flac:
      command = "flac -s -f -o ";
      command += Quoted(out);
      command += " ";
      command += Quoted(wav);
      break;
    case Format::Vorbis:
      command = "oggenc -Q -q 5 -o ";
      command += Quoted(out);
      command += " ";
      command += Quoted(wav);
      break;
    case Format::Opus:
      command = "opusenc --quiet --bitrate 128 ";
      command += Quoted(wav);
      command += " ";
      command += Quoted(out);
      break;
    case Format::M4a:
      command = "ffmpeg -v error -y -i ";
      command += Quoted(wav);
      command += " -c:a aac -b:a 160k ";
      command += Quoted(out);
      break;
  }
  return command;
}

std::string Extension(Format format) {
  switch (format) {
    case Format::Flac:
      return ".flac";
    case Format::Vorbis:
      return ".ogg";
    case Format::Opus:
      return ".opus";
    case Format::M4a:
      return ".m4a";
  }
  return "";
}

// Decoded 16-bit interleaved audio.
struct Pcm {
  std::vector<int16_t> samples;
  uint16_t channels = 0;
  uint32_t rate = 0;
  size_t Frames() const { return channels == 0 ? 0 : samples.size() / channels; }
};

Pcm PcmOfWav(const std::string& path) {
  Pcm pcm;
  const std::vector<uint8_t> data = player_test::WavData(ReadBytes(path), &pcm.channels, &pcm.rate);
  pcm.samples.resize(data.size() / 2);
  for (size_t i = 0; i < pcm.samples.size(); ++i) pcm.samples[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8);
  return pcm;
}

// What the format's reference decoder makes of path: flac -d for FLAC (bit-exact by
// definition), ffmpeg's decode to 16-bit WAV for the lossy formats.
Pcm ReferenceDecode(Format format, const std::string& path) {
  const std::string wav = path + ".ref.wav";
  std::string command;
  if (format == Format::Flac) {
    command = "flac -s -d -f -o ";
    command += Quoted(wav);
    command += " ";
    command += Quoted(path);
  } else {
    command = "ffmpeg -v error -y -i ";
    command += Quoted(path);
    command += " -f wav -c:a pcm_s16le ";
    command += Quoted(wav);
  }
  int code = -1;
  test_media::Run(command, &code);
  EXPECT_EQ(code, 0) << command;
  Pcm pcm = PcmOfWav(wav);
  std::remove(wav.c_str());
  return pcm;
}

// A deterministic noise source (uniform in -1..1), so every run encodes the same file.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return double(int32_t(state_)) / 2147483648.0;
  }

 private:
  uint32_t state_;
};

constexpr uint32_t kRate = 44100;
constexpr double kSourceSeconds = 34.0;

// The long source (long enough for a seek to 30 s): on the left a slow exponential chirp (200 Hz to 3 kHz over the file), on
// the right a tone whose frequency steps every 100 ms, each with noise of its own, so that
// any tenth of a second of it matches the file at one place only. Peak below 0.4 of full
// scale.
std::vector<int16_t> SourceSignal() {
  const size_t frames = size_t(kRate * kSourceSeconds);
  std::vector<int16_t> pcm(frames * 2);
  Noise left(1), right(2);
  const double f0 = 200.0, f1 = 3000.0, k = std::log(f1 / f0) / kSourceSeconds;
  double stepPhase = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / kRate;
    const double chirpPhase = 2.0 * M_PI * f0 * (std::exp(k * t) - 1.0) / k;
    const size_t step = i / (kRate / 10);
    const double stepHz = 300.0 + 37.0 * double((step * 7) % 50);
    stepPhase += 2.0 * M_PI * stepHz / kRate;
    const double l = 0.25 * std::sin(chirpPhase) + 0.08 * left.Next();
    const double r = 0.25 * std::sin(stepPhase) + 0.08 * right.Next();
    pcm[2 * i] = int16_t(std::lround(l * 32767.0));
    pcm[2 * i + 1] = int16_t(std::lround(r * 32767.0));
  }
  return pcm;
}

// The gapless source: 440 Hz on the left and 523 Hz on the right (together they repeat
// only once a second, so a shift of the tone by up to half a second shows), 2 s, split in two at a
// frame that is no multiple of any codec's frame or block (FLAC 4096, Vorbis 256 and 2048,
// Opus 960 at 48 kHz, AAC 1024) nor of the engines' buffers.
constexpr double kToneHz[2] = {440.0, 523.0};
constexpr double kToneAmplitude = 0.4;
constexpr size_t kToneFrames = 2 * kRate;
constexpr size_t kSplitFrame = kRate + 333;

std::vector<int16_t> ToneSignal(size_t from, size_t to) {
  std::vector<int16_t> pcm;
  for (size_t i = from; i < to; ++i) {
    for (double hz : kToneHz) {
      pcm.push_back(int16_t(std::lround(kToneAmplitude * 32767.0 * std::sin(2.0 * M_PI * hz * double(i) / kRate))));
    }
  }
  return pcm;
}

// The length a decoder must give for sourceFrames frames at 44.1 kHz: the same frames at
// the output rate (Opus decodes at 48 kHz: a frame of rounding), and how far it may be off.
// An M4A file written by ffmpeg states its length in its edit list only to the millisecond.
// ffmpeg 5.1's own decoding is not the measure of the length: it leaves the encoder's
// padding at the end of an M4A file (up to 1023 frames) and ends an Ogg Vorbis file some
// frames off the length its last page states (128 short, or 9 long), where the Vorbis
// library's decoding (oggdec) gives the source's length exactly.
size_t ExpectedFrames(Format format, size_t sourceFrames, uint32_t rate) {
  return format == Format::Opus ? size_t(std::llround(double(sourceFrames) * rate / kRate)) : sourceFrames;
}
size_t LengthTolerance(Format format, uint32_t rate) {
  switch (format) {
    case Format::Flac:
    case Format::Vorbis:
      return 0;
    case Format::Opus:
      return 1;
    case Format::M4a:
      return rate / 1000;
  }
  return 0;
}

size_t Distance(size_t a, size_t b) { return a > b ? a - b : b - a; }

struct Encoded {
  std::string path;
  Pcm reference;
};

struct Halves {
  Encoded first, second;
};

// The files of one program start (main thread only), made the first time a test asks for
// them and kept until the program ends (each test of a ctest run is a program start of its
// own, so only what that test needs is made).
class Fixtures {
 public:
  static Fixtures& Shared() {
    static Fixtures fixtures;
    return fixtures;
  }

  // The long source as a WAV file.
  const std::string& SourceWav() {
    if (sourceWav_.empty()) {
      sourceWav_ = dir_.File("source.wav");
      test_media::WriteFile(sourceWav_, test_media::WavBytes(kRate, 2, SourceSignal()));
    }
    return sourceWav_;
  }

  const Encoded& Long(Format format) {
    auto found = long_.find(format);
    if (found != long_.end()) return found->second;
    Encoded& encoded = long_[format];
    encoded = Encode(format, SourceWav(), dir_.File("long" + Extension(format)));
    return encoded;
  }

  // The tone's first half (second: false) or second half as a WAV file.
  std::string ToneHalfWav(bool second) {
    const std::string path = dir_.File(second ? "second.wav" : "first.wav");
    if (!std::filesystem::exists(path)) {
      test_media::WriteFile(path, test_media::WavBytes(kRate, 2, second ? ToneSignal(kSplitFrame, kToneFrames)
                                                                        : ToneSignal(0, kSplitFrame)));
    }
    return path;
  }

  const Halves& Split(Format format) {
    auto found = halves_.find(format);
    if (found != halves_.end()) return found->second;
    Halves& halves = halves_[format];
    halves.first = Encode(format, ToneHalfWav(false), dir_.File("first" + Extension(format)));
    halves.second = Encode(format, ToneHalfWav(true), dir_.File("second" + Extension(format)));
    return halves;
  }

 private:
  static Encoded Encode(Format format, const std::string& wav, const std::string& out) {
    int code = -1;
    const std::string command = EncodeCommand(format, wav, out);
    test_media::Run(command, &code);
    EXPECT_EQ(code, 0) << command;
    return {out, ReferenceDecode(format, out)};
  }

  TempDir dir_;
  std::string sourceWav_;
  std::map<Format, Encoded> long_;
  std::map<Format, Halves> halves_;
};

// How far apart two decodings are: the largest difference of one sample and the signal
// to error ratio (infinite when they are identical).
struct Difference {
  int maxAbs = 0;
  double snrDb = INFINITY;
};

Difference Compare(const std::vector<int16_t>& heard, const std::vector<int16_t>& reference) {
  Difference d;
  double signal = 0, error = 0;
  for (size_t i = 0; i < std::min(heard.size(), reference.size()); ++i) {
    const int diff = int(heard[i]) - int(reference[i]);
    d.maxAbs = std::max(d.maxAbs, std::abs(diff));
    signal += double(reference[i]) * reference[i];
    error += double(diff) * diff;
  }
  if (error > 0) d.snrDb = 10.0 * std::log10(signal / error);
  return d;
}

// Sets the process's ReplayGain choice for a test and puts it back afterwards.
class ScopedReplayGain {
 public:
  ScopedReplayGain(ReplayGainMode mode, double preampDb)
      : mode_(CurrentReplayGainMode()), preampDb_(ReplayGainPreampDb()) {
    SetReplayGain(mode, preampDb);
  }
  ~ScopedReplayGain() { SetReplayGain(mode_, preampDb_); }
  ScopedReplayGain(const ScopedReplayGain&) = delete;
  ScopedReplayGain& operator=(const ScopedReplayGain&) = delete;

 private:
  ReplayGainMode mode_;
  double preampDb_;
};

// The capture's header is written when its output closes: the size of its data then, or 0
// while the output is open.
uint32_t ClosedCaptureBytes(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  if (file.size() < 44) return 0;
  return uint32_t(file[40] | file[41] << 8 | file[42] << 16 | uint32_t(file[43]) << 24);
}

// Plays each file through a facade of its own, as the window does, the next one opened when
// the one before has reported its end, and returns what the wav: output recorded. control
// runs on the main loop while the first file plays. Each file must go to the media engine,
// end by itself and raise no error.
Pcm PlayThrough(const std::vector<std::string>& files, const std::string& capture, uint32_t speed,
                const std::function<void(QueueMainLoop&, TSoundPlayer&, Recorder&)>& control = {}) {
  std::string output = "wav:";
  output += capture;
  output += ",speed=";
  output += std::to_string(speed);
  ScopedEnv env("ZIMBAR_AUDIO_OUT", output.c_str());
  QueueMainLoop loop;
  for (size_t i = 0; i < files.size(); ++i) {
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.UseDirectSound(false);
    player.Open(files[i]);
    if (player.Media() == nullptr) {
      ADD_FAILURE() << files[i] << " did not go to the media engine";
      return {};
    }
    player.Play();
    if (i == 0 && control) control(loop, player, recorder);
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 30s)) << "no end of stream for " << files[i];
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << files[i] << ": " << e.text;
    player.Stop();
  }
  // In gapless mode the last output lingers a moment after it has played out, then closes.
  EXPECT_TRUE(loop.RunUntil([&] { return ClosedCaptureBytes(capture) != 0; }, 10s)) << "the output never closed";
  return PcmOfWav(capture);
}

class MediaFormats : public testing::TestWithParam<Format> {
 protected:
  ScopedGapless gapless_{false};  // each capture whole once its facade has gone
  TempDir dir_;
};

}  // namespace

// Catches samples the engine loses, adds (priming or padding left in, a stale buffer
// played twice) or alters (dither, a float conversion of its own, a wrong channel order or
// rate): a 34-second file plays as the reference decoder decodes it, FLAC bit for bit as
// flac -d, the lossy formats within one step of 16 bits of ffmpeg's decoding (libavcodec
// decodes both), and each exactly as long as the source (see ExpectedFrames).
TEST_P(MediaFormats, PlaysWhatTheReferenceDecoderDecodes) {
  const Format format = GetParam();
  const Encoded& file = Fixtures::Shared().Long(format);
  ASSERT_GT(file.reference.Frames(), size_t(kRate * 30));
  const Pcm heard = PlayThrough({file.path}, dir_.File("heard.wav"), 64);
  ASSERT_EQ(heard.rate, file.reference.rate);
  ASSERT_EQ(heard.channels, file.reference.channels);
  const size_t expected = ExpectedFrames(format, size_t(kRate * kSourceSeconds), heard.rate);
  const Difference d = Compare(heard.samples, file.reference.samples);
  std::printf("%s: %zu frames at %u Hz (source %zu, ffmpeg %zu), max abs difference %d, SNR %.1f dB\n",
              NameOf(format).c_str(), heard.Frames(), heard.rate, expected, file.reference.Frames(), d.maxAbs, d.snrDb);
  EXPECT_LE(Distance(heard.Frames(), expected), LengthTolerance(format, heard.rate))
      << "played " << heard.Frames() << " frames of " << expected;
  if (format == Format::Flac) {
    EXPECT_TRUE(heard.samples == file.reference.samples) << "FLAC did not play bit for bit as flac -d decodes it";
  } else {
    EXPECT_LE(d.maxAbs, 1);
  }
}

namespace {

// Sample i of channel c of the continuous tone at rate.
double ToneAt(int c, double frame, uint32_t rate) {
  return kToneAmplitude * 32767.0 * std::sin(2.0 * M_PI * kToneHz[c] * frame / rate);
}

// The squared difference of heard frame i from the tone moved by offset frames.
double ToneError(const Pcm& heard, size_t i, long offset) {
  double e = 0;
  for (int c = 0; c < 2; ++c) {
    const double d = heard.samples[i * 2 + size_t(c)] - ToneAt(c, double(long(i) + offset), heard.rate);
    e += d * d;
  }
  return e;
}

// The offset (frames, within range either way) by which heard frames [from, to) follow the
// tone best: heard frame i sounds as the tone's frame i + offset.
long ToneOffset(const Pcm& heard, size_t from, size_t to, long range) {
  long best = 0;
  double least = INFINITY;
  for (long offset = -range; offset <= range; ++offset) {
    double e = 0;
    for (size_t i = from; i < to && e < least; ++i) e += ToneError(heard, i, offset);
    if (e < least) least = e, best = offset;
  }
  return best;
}

// The longest stretch of frames in [from, to) whose error from the tone (moved by before
// up to join, by after from there), as an RMS over the half millisecond around each frame,
// exceeds half the tone's RMS: silence, noise or a jump.
size_t LongestDeparture(const Pcm& heard, size_t from, size_t to, size_t join, long before, long after) {
  const size_t half = heard.rate / 4000;
  const double limit = 2 * 0.25 * std::pow(kToneAmplitude * 32767.0, 2) / 2;  // per frame, two channels
  size_t longest = 0, run = 0;
  for (size_t i = from; i < to; ++i) {
    double e = 0;
    for (size_t j = i - half; j <= i + half; ++j) e += ToneError(heard, j, j < join ? before : after);
    run = e / double(2 * half + 1) > limit ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// The length of the longest run of silent frames in heard.
size_t LongestSilence(const Pcm& heard) {
  size_t longest = 0, run = 0;
  for (size_t i = 0; i < heard.Frames(); ++i) {
    bool silent = true;
    for (size_t c = 0; c < heard.channels; ++c) silent = silent && heard.samples[i * heard.channels + c] == 0;
    run = silent ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

// Catches a gap, a click or lost or repeated audio where one entry hands over to the next
// (priming or padding left in, a drained output between them): two halves of one tone,
// split off every frame grid and encoded apart, play in gapless mode as long as the tone,
// the tone after the join goes on where it left off (no more than 1 ms of it lost or
// repeated), nothing near the join departs from it for more than 1 ms, and no silence of
// more than 1 ms comes anywhere.
TEST_P(MediaFormats, TwoHalvesOfOneTonePlayWithoutAGap) {
  ScopedGapless gapless(true);
  const Format format = GetParam();
  const Halves& halves = Fixtures::Shared().Split(format);
  const Pcm heard = PlayThrough({halves.first.path, halves.second.path}, dir_.File("heard.wav"), 16);
  ASSERT_EQ(heard.rate, halves.first.reference.rate);
  ASSERT_EQ(heard.channels, 2);
  const size_t expected = ExpectedFrames(format, kToneFrames, heard.rate);
  const size_t oneMs = heard.rate / 1000;
  EXPECT_LE(Distance(heard.Frames(), expected), 2 * LengthTolerance(format, heard.rate))
      << "played " << heard.Frames() << " frames of " << expected;
  const size_t join = ExpectedFrames(format, kSplitFrame, heard.rate);
  ASSERT_GT(heard.Frames(), join + heard.rate / 10);
  // Where the tone is in each half (25 ms before the join, and 50 ms from 60 ms after it,
  // past the AAC encoder's rough start), up to 25 ms either way: the first half must start
  // with the tone's first frame (no priming left in), the second go on from the frame where
  // it ended.
  const long range = long(heard.rate / 40);
  const long before = ToneOffset(heard, join - heard.rate / 33, join - heard.rate / 200, range);
  const long after = ToneOffset(heard, join + heard.rate * 60 / 1000, join + heard.rate * 110 / 1000, range);
  const size_t departure =
      LongestDeparture(heard, join - heard.rate / 100, join + heard.rate / 100, join, before, after);
  const size_t silence = LongestSilence(heard);
  std::printf("%s: %zu frames (expected %zu), join at %zu; the tone moved by %ld before and %ld after it; "
              "departure %zu frames, longest silence %zu frames\n",
              NameOf(format).c_str(), heard.Frames(), expected, join, before, after, departure, silence);
  EXPECT_EQ(before, 0) << "the first half does not start with the tone's first frame";
  EXPECT_LE(std::abs(after - before), long(oneMs)) << "more than 1 ms lost or repeated at the join";
  EXPECT_LE(departure, oneMs) << "more than 1 ms away from the tone at the join";
  EXPECT_LE(silence, oneMs) << "a silence of more than 1 ms";
}

// Catches a ReplayGain factor that is not applied, applied twice or read from the wrong tag,
// and a gain stage that alters the samples when ReplayGain is off: a file (the tone's first
// half) tagged -6.00 dB (peak 0.5) plays 6 dB down within 0.05 dB in Track mode and as
// decoded with ReplayGain off (FLAC bit for bit).
TEST_P(MediaFormats, TrackGainOfMinusSixDecibelsHalvesTheAmplitude) {
  const Format format = GetParam();
  const std::string tagged = dir_.File("tagged" + Extension(format));
  if (format == Format::Opus) {
    // The tags go in with the encoding (opusenc keeps no other program's comments).
    std::filesystem::copy_file(Fixtures::Shared().ToneHalfWav(false), dir_.File("tagged.wav"));
  } else {
    std::filesystem::copy_file(Fixtures::Shared().Split(format).first.path, tagged);
  }
  std::string command;
  switch (format) {
    case Format::Flac:
      command = "metaflac --set-tag='REPLAYGAIN_TRACK_GAIN=-6.00 dB' --set-tag=REPLAYGAIN_TRACK_PEAK=0.5 ";
      command += Quoted(tagged);
      break;
    case Format::Vorbis:
      command = "vorbiscomment -a -t 'REPLAYGAIN_TRACK_GAIN=-6.00 dB' -t REPLAYGAIN_TRACK_PEAK=0.5 ";
      command += Quoted(tagged);
      break;
    case Format::Opus:
      // The Opus header gain stays 0; R128_TRACK_GAIN is Q7.8 dB towards -23 LUFS, 5 dB below
      // the ReplayGain reference: -11 dB there is -6 dB in ReplayGain terms.
      command = "opusenc --quiet --bitrate 128 --comment R128_TRACK_GAIN=-2816 ";
      command += Quoted(dir_.File("tagged.wav"));
      command += " ";
      command += Quoted(tagged);
      break;
    case Format::M4a:
      // ffmpeg writes no iTunes freeform atoms; the maker's own writer puts them where
      // other programs write them ("----:com.apple.iTunes:REPLAYGAIN_TRACK_GAIN").
      {
        const Outcome written =
            WriteReplayGainTags(tagged, AudioFileFormat::M4a, {/*trackGain=*/-6.0, /*trackPeak=*/0.5, 0, 0});
        ASSERT_TRUE(written) << written.Error().Message();
      }
      command = "true";
      break;
  }
  int code = -1;
  test_media::Run(command, &code);
  ASSERT_EQ(code, 0) << command;
  const Pcm reference = ReferenceDecode(format, tagged);
  Pcm off, track;
  {
    ScopedReplayGain gain(ReplayGainMode::Off, 0.0);
    off = PlayThrough({tagged}, dir_.File("off.wav"), 64);
  }
  {
    ScopedReplayGain gain(ReplayGainMode::Track, 0.0);
    track = PlayThrough({tagged}, dir_.File("track.wav"), 64);
  }
  // The length is another test's concern (ffmpeg's is not exact): compare what both have.
  ASSERT_EQ(track.samples.size(), off.samples.size());
  const size_t common = std::min(off.samples.size(), reference.samples.size());
  ASSERT_GT(common, size_t(kRate));
  const std::vector<int16_t> decoded(reference.samples.begin(), reference.samples.begin() + std::ptrdiff_t(common));
  const Difference d = Compare(off.samples, decoded);
  if (format == Format::Flac) {
    EXPECT_TRUE(off.samples == decoded) << "ReplayGain off changed the samples";
  } else {
    EXPECT_LE(d.maxAbs, 1) << "ReplayGain off changed the samples";
  }
  // The factor that fits the played samples to the decoded ones best.
  double cross = 0, power = 0;
  for (size_t i = 0; i < common; ++i) {
    cross += double(track.samples[i]) * decoded[i];
    power += double(decoded[i]) * decoded[i];
  }
  ASSERT_GT(power, 0);
  const double db = 20.0 * std::log10(cross / power);
  std::printf("%s: Track mode plays at %.3f dB of the decoded level\n", NameOf(format).c_str(), db);
  EXPECT_NEAR(db, -6.0, 0.05);
}

namespace {

// The first frame where a and b differ by more than tolerance on some channel.
size_t FirstDifference(const Pcm& a, const Pcm& b, int tolerance) {
  const size_t frames = std::min(a.Frames(), b.Frames());
  for (size_t i = 0; i < frames; ++i) {
    for (size_t c = 0; c < a.channels; ++c) {
      if (std::abs(int(a.samples[i * a.channels + c]) - int(b.samples[i * a.channels + c])) > tolerance) return i;
    }
  }
  return frames;
}

// The frame of reference within [from, to) where `frames` frames of heard starting at
// `at` match best (normalized cross-correlation over both channels), and that match.
size_t BestMatch(const Pcm& heard, size_t at, size_t frames, const Pcm& reference, size_t from, size_t to,
                 double* match) {
  const size_t n = frames * heard.channels;
  const int16_t* h = heard.samples.data() + at * heard.channels;
  double hh = 0;
  for (size_t i = 0; i < n; ++i) hh += double(h[i]) * h[i];
  size_t best = from;
  *match = -1;
  for (size_t offset = from; offset < to && offset + frames <= reference.Frames(); ++offset) {
    const int16_t* r = reference.samples.data() + offset * reference.channels;
    double hr = 0, rr = 0;
    for (size_t i = 0; i < n; ++i) hr += double(h[i]) * r[i], rr += double(r[i]) * r[i];
    const double m = rr > 0 ? hr / std::sqrt(hh * rr) : 0;
    if (m > *match) *match = m, best = offset;
  }
  return best;
}

}  // namespace

// Catches a seek that lands off the asked time (a keyframe before it without the decoded
// samples up to the target dropped, the container's time base misread, the priming
// counted twice): a seek to 30 s while playing goes on from within 0.1 s of 30 s,
// read back by matching what was heard after it with the reference decoding.
TEST_P(MediaFormats, SeekToThirtySecondsLandsWithinATenthOfASecond) {
  const Format format = GetParam();
  const Encoded& file = Fixtures::Shared().Long(format);
  const Pcm& reference = file.reference;
  const int range = int(reference.Frames() / reference.rate);
  const Pcm heard = PlayThrough({file.path}, dir_.File("heard.wav"), 32,
                                [&](QueueMainLoop& loop, TSoundPlayer& player, Recorder& recorder) {
                                  ASSERT_TRUE(loop.RunUntil([&] { return recorder.LastTimecode() >= 2; }, 20s));
                                  player.Seek(30, range);
                                });
  ASSERT_EQ(heard.channels, reference.channels);
  ASSERT_EQ(heard.rate, reference.rate);
  // Up to the seek the file played from its start; after it, from where it landed.
  const size_t seekFrame = FirstDifference(heard, reference, 8);
  ASSERT_GE(seekFrame, size_t(reference.rate));
  ASSERT_LT(seekFrame + reference.rate, heard.Frames()) << "nothing was heard after the seek";
  // A tenth of a second, 20 ms after the seek (past any settling of the decoder), matched
  // against the reference within 0.3 s of the target.
  const size_t skip = reference.rate / 50, frames = reference.rate / 10;
  const size_t target = 30 * size_t(reference.rate), window = reference.rate * 3 / 10;
  double match = 0;
  const size_t found = BestMatch(heard, seekFrame + skip, frames, reference, target + skip - window,
                                 target + skip + window, &match);
  const double landed = (double(found) - double(skip)) / reference.rate;
  // What the length says: after the seek the file played to its end.
  const size_t fileFrames = ExpectedFrames(format, size_t(kRate * kSourceSeconds), reference.rate);
  const double byLength = (double(fileFrames) - double(heard.Frames() - seekFrame)) / reference.rate;
  std::printf("%s: seek heard at %.3f s, landed at %.4f s (match %.3f), by the length at %.4f s\n",
              NameOf(format).c_str(), double(seekFrame) / reference.rate, landed, match, byLength);
  EXPECT_GT(match, 0.9) << "what was heard after the seek is no stretch of the file within 0.3 s of 30 s";
  EXPECT_NEAR(landed, 30.0, 0.1);
  EXPECT_NEAR(byLength, landed, 0.01) << "after the seek the file did not play to its end unaltered";
}

INSTANTIATE_TEST_SUITE_P(Formats, MediaFormats,
                         testing::Values(Format::Flac, Format::Vorbis, Format::Opus, Format::M4a),
                         [](const testing::TestParamInfo<Format>& info) { return NameOf(info.param); });
