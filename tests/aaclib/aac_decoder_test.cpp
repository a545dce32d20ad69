// End-to-end tests of the decoder core against ffmpeg's decoding of the same streams.
#include "aaclib/aac_decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "aaclib/adts_header.h"
#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace zbaac::test {
// Names the stream in test listings instead of dumping its bytes.
void PrintTo(const StreamSpec& spec, std::ostream* os) { *os << spec.Name(); }
}  // namespace zbaac::test

namespace zbaac {
namespace {

using test::MakeAdtsStream;
using test::Signal;
using test::StreamSpec;

// Decodes a whole file; `blocks` gets the number of blocks returned with a positive result.
std::vector<std::int16_t> DecodeAll(const std::string& path, int* blocks = nullptr, StreamParameters* params = nullptr) {
  AacDecoder decoder;
  const StreamParameters p = decoder.Open(path);
  if (params != nullptr) *params = p;
  std::vector<std::int16_t> pcm;
  std::int16_t out[AacDecoder::kOutputSamples];
  int count = 0;
  while (decoder.Decode(out) != 0) {
    pcm.insert(pcm.end(), out, out + AacDecoder::kOutputSamples);
    ++count;
  }
  decoder.Close();
  if (blocks != nullptr) *blocks = count;
  return pcm;
}

// ffmpeg's decoding of the file as interleaved 16-bit samples, one-channel streams spread
// to both slots like the library's output.
std::vector<std::int16_t> FfmpegDecode(const std::string& path, int channels) {
  const std::string out = path + ".ref." + std::to_string(::getpid()) + ".raw";
  const int status = test::RunProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", path, "-f", "s16le", out});
  EXPECT_EQ(status, 0) << "ffmpeg could not decode " << path;
  const std::vector<std::uint8_t> bytes = test::ReadFileBytes(out);
  std::remove(out.c_str());
  std::vector<std::int16_t> pcm;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto v = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
    pcm.push_back(v);
    if (channels == 1) pcm.push_back(v);
  }
  return pcm;
}

// The shift (in periods; positive: ours runs late) that best lines the two outputs up,
// found once by the smallest mean absolute difference over a loud stretch.
int FindOffset(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& ref) {
  const int periods = 2048;
  const int from = 4096;  // periods into the reference
  int best = 0;
  double bestScore = 1e300;
  for (int shift = -2048; shift <= 2048; ++shift) {
    const long start = 2L * (from + shift);
    if (start < 0 || start + 2L * periods > static_cast<long>(ours.size()) ||
        2L * (from + periods) > static_cast<long>(ref.size())) {
      continue;
    }
    double score = 0.0;
    for (int i = 0; i < 2 * periods; i += 3) score += std::abs(ours[start + i] - ref[2 * from + i]);
    if (score < bestScore) {
      bestScore = score;
      best = shift;
    }
  }
  return best;
}

// The tools an ADTS file's blocks use.
test::ToolUse CountTools(const std::string& path) {
  test::ToolUse use;
  const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
  BitReader reader(AacInput::FromBytes(bytes));
  SyntaxState state;
  auto block = std::make_unique<RawDataBlock>();
  for (const auto& frame : test::SplitAdtsFrames(bytes)) {
    if (reader.BitPosition() > frame.offset * 8) break;
    reader.SkipBits(frame.offset * 8 - reader.BitPosition());
    auto header = ParseAdtsHeader(reader);
    if (!header.Ok()) break;
    ApplyAdtsHeader(header.Value(), state);
    if (!ParseRawDataBlock(reader, state, *block).Ok()) break;
    use.Add(*block);
  }
  return use;
}

struct Comparison {
  std::size_t samples = 0;
  int maxDifference = 0;
  double fractionWithinOne = 0.0;
  double sdrDb = 0.0;
};

Comparison Compare(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& ref, int shift) {
  Comparison c;
  const std::size_t skip = shift > 0 ? 2 * static_cast<std::size_t>(shift) : 0;
  const std::size_t refSkip = shift < 0 ? 2 * static_cast<std::size_t>(-shift) : 0;
  const std::size_t n = std::min(ours.size() - std::min(skip, ours.size()), ref.size() - std::min(refSkip, ref.size()));
  std::size_t within = 0;
  double signal = 0.0, error = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const int a = ours[skip + i];
    const int b = ref[refSkip + i];
    const int d = std::abs(a - b);
    c.maxDifference = std::max(c.maxDifference, d);
    if (d <= 1) ++within;
    signal += static_cast<double>(b) * b;
    error += static_cast<double>(d) * d;
  }
  c.samples = n;
  c.fractionWithinOne = n ? static_cast<double>(within) / n : 0.0;
  c.sdrDb = error > 0 ? 10.0 * std::log10(signal / error) : 200.0;
  return c;
}

std::string StreamOrSkip(const StreamSpec& spec) {
  std::string error;
  std::string path = MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  return path;
}

StreamSpec Lc(int rate, bool tns, int ms, bool intensity, int channels = 2) {
  StreamSpec s;
  s.signal = Signal::Music;
  s.sampleRate = rate;
  s.channels = channels;
  s.tns = tns;
  s.ms = ms;
  s.intensity = intensity;
  s.pns = false;
  s.seconds = 2.0;
  return s;
}

class LowComplexityMatch : public ::testing::TestWithParam<StreamSpec> {};

// Catches any inaccuracy in dequantization, M/S, intensity, TNS, windows, transforms or the
// 16-bit rounding: every sample within 1 LSB of ffmpeg; and odd slots left unset for
// one-channel streams: both slots carry the sample.
TEST_P(LowComplexityMatch, MatchesFfmpegWithinOneLsb) {
  const StreamSpec spec = GetParam();
  const std::string path = StreamOrSkip(spec);
  if (path.empty()) return;
  StreamParameters params;
  const std::vector<std::int16_t> ours = DecodeAll(path, nullptr, &params);
  const std::vector<std::int16_t> ref = FfmpegDecode(path, spec.channels);
  ASSERT_GT(ours.size(), 40000u);
  for (std::size_t k = 0; spec.channels == 1 && k < ours.size(); k += 2) ASSERT_EQ(ours[k], ours[k + 1]) << k / 2;
  EXPECT_EQ(params.form, StreamForm::Adts);
  EXPECT_EQ(params.sampleRate, spec.sampleRate);
  const int shift = FindOffset(ours, ref);
  const Comparison c = Compare(ours, ref, shift);
  EXPECT_GT(c.samples, ref.size() * 9 / 10);
  EXPECT_LE(c.maxDifference, 1) << spec.Name() << " shift " << shift;
  // The stream must really use the tools this case is about.
  const auto use = CountTools(path);
  EXPECT_GT(use.shortBlocks, 0) << spec.Name();
  EXPECT_TRUE(!spec.tns || use.tnsChannels > 0) << spec.Name();
  EXPECT_TRUE(!spec.intensity || use.intensityBands > 0) << spec.Name();
  EXPECT_TRUE(spec.ms != 1 || use.msBands > 0) << spec.Name();
}

INSTANTIATE_TEST_SUITE_P(Streams, LowComplexityMatch,
                         ::testing::Values(Lc(44100, false, 0, false), Lc(44100, true, 1, true),
                                           Lc(48000, false, -1, true), Lc(44100, true, -1, false, 1)),
                         // Appended rather than "s" + ...: GCC 12 warns (-Wrestrict) on that form in
                         // optimized builds.
                         [](const auto& info) { return std::string("s").append(std::to_string(info.index)); });

// Catches a wrong prediction (lag, history contents, windowing or transform of the
// estimate): the long-term-prediction streams reach 100 dB against ffmpeg.
TEST(LongTermPredictionStream, ReachesHundredDbAgainstFfmpeg) {
  StreamSpec spec = Lc(48000, false, 0, false);  // the encoder predicts most often without M/S
  spec.ltp = true;
  spec.bitRateKbps = 96;
  const std::string path = StreamOrSkip(spec);
  if (path.empty()) return;
  const std::vector<std::int16_t> ours = DecodeAll(path);
  const std::vector<std::int16_t> ref = FfmpegDecode(path, spec.channels);
  EXPECT_GE(Compare(ours, ref, FindOffset(ours, ref)).sdrDb, 100.0);
  EXPECT_GT(CountTools(path).ltpChannels, 5);
}

// Catches noise bands scaled to the wrong energy: every loud frame's energy is within 1 dB
// of ffmpeg's (the noise itself differs: each decoder has its own generator).
TEST(NoiseSubstitutionStream, FrameEnergiesMatchFfmpegWithinOneDb) {
  StreamSpec spec;
  spec.signal = Signal::Noise;
  spec.channels = 2;
  spec.bitRateKbps = 48;
  spec.pns = true;
  spec.seconds = 2.0;
  const std::string path = StreamOrSkip(spec);
  if (path.empty()) return;
  const std::vector<std::int16_t> ours = DecodeAll(path);
  const std::vector<std::int16_t> ref = FfmpegDecode(path, 2);
  EXPECT_GT(CountTools(path).noiseBands, 100);
  const std::size_t frames = std::min(ours.size(), ref.size()) / 2048;
  ASSERT_GT(frames, 40u);
  int compared = 0;
  for (std::size_t f = 1; f < frames; ++f) {
    for (int c = 0; c < 2; ++c) {
      double eo = 0.0, er = 0.0;
      for (int k = 0; k < 1024; ++k) {
        const double a = ours[f * 2048 + 2 * k + c];
        const double b = ref[f * 2048 + 2 * k + c];
        eo += a * a;
        er += b * b;
      }
      if (er < 1024.0 * 100.0) continue;  // near silence: energies in dB mean little
      ++compared;
      EXPECT_NEAR(10.0 * std::log10(eo / er), 0.0, 1.0) << "frame " << f << " channel " << c;
    }
  }
  EXPECT_GT(compared, static_cast<int>(frames));
}

// Catches a form-specific fault (header handling, bit alignment, the program built from
// one SCE or one CPE, prediction history kept differently per form): raw data blocks and
// the ADIF form of a stereo, a mono and a long-term-prediction stream decode to the same
// samples as their ADTS form.
TEST(StreamForms, RawAndAdifDecodeLikeAdts) {
  StreamSpec predicted = Lc(48000, false, 0, false);
  predicted.ltp = true;
  predicted.bitRateKbps = 96;
  for (const StreamSpec& spec : {Lc(44100, true, -1, false, 2), Lc(44100, true, -1, false, 1), predicted}) {
    const std::string path = StreamOrSkip(spec);
    if (path.empty()) return;
    const std::vector<std::uint8_t> adts = test::ReadFileBytes(path);
    auto raw = test::AdtsToRaw(adts);
    auto adif = test::AdtsToAdif(adts);
    ASSERT_TRUE(raw.Ok() && adif.Ok());
    const std::string rawPath = test::TestCacheDir() + "/forms_" + std::to_string(::getpid()) + ".raw.aac";
    const std::string adifPath = test::TestCacheDir() + "/forms_" + std::to_string(::getpid()) + ".adif.aac";
    ASSERT_TRUE(test::WriteFileBytes(rawPath, raw.Value()) && test::WriteFileBytes(adifPath, adif.Value()));
    int adtsBlocks = 0, rawBlocks = 0, adifBlocks = 0;
    StreamParameters rawParams, adifParams;
    const auto fromAdts = DecodeAll(path, &adtsBlocks);
    const auto fromRaw = DecodeAll(rawPath, &rawBlocks, &rawParams);
    const auto fromAdif = DecodeAll(adifPath, &adifBlocks, &adifParams);
    std::remove(rawPath.c_str());
    std::remove(adifPath.c_str());
    EXPECT_EQ(rawParams.form, StreamForm::Raw);
    EXPECT_EQ(adifParams.form, StreamForm::Adif);
    EXPECT_EQ(adifParams.sampleRate, spec.sampleRate);
    ASSERT_GT(adtsBlocks, 50);
    // Raw and ADIF input ends when a read runs past the end; at most the last block differs.
    const std::size_t common = static_cast<std::size_t>(adtsBlocks - 1) * AacDecoder::kOutputSamples;
    ASSERT_GE(fromRaw.size(), common);
    ASSERT_GE(fromAdif.size(), common);
    EXPECT_TRUE(std::equal(fromAdts.begin(), fromAdts.begin() + common, fromRaw.begin())) << spec.Name();
    EXPECT_TRUE(std::equal(fromAdts.begin(), fromAdts.begin() + common, fromAdif.begin())) << spec.Name();
  }
}

// Catches a stream whose frames carry a CRC taken for raw data (its first header is only
// whole with the CRC bytes): the same frames with protection on decode as ADTS to the same
// samples, with a bit rate from the longer frames.
TEST(StreamForms, ProtectedAdtsDecodesLikeUnprotected) {
  const std::string path = StreamOrSkip(Lc(44100, true, -1, false));
  if (path.empty()) return;
  const std::vector<std::uint8_t> plain = test::ReadFileBytes(path);
  std::vector<std::uint8_t> protectedBytes;
  for (const auto& frame : test::SplitAdtsFrames(plain)) {
    ASSERT_EQ(frame.header.rawDataBlocks, 1);
    const auto at = plain.begin() + static_cast<std::ptrdiff_t>(frame.offset);
    std::vector<std::uint8_t> header(at, at + 7);
    header[1] &= 0xFE;  // protection_absent = 0
    const int length = frame.header.frameLengthBytes + 2;
    header[3] = static_cast<std::uint8_t>((header[3] & 0xFC) | (length >> 11));
    header[4] = static_cast<std::uint8_t>(length >> 3);
    header[5] = static_cast<std::uint8_t>((header[5] & 0x1F) | ((length & 7) << 5));
    protectedBytes.insert(protectedBytes.end(), header.begin(), header.end());
    protectedBytes.insert(protectedBytes.end(), {0xAB, 0xCD});  // the CRC, not checked
    protectedBytes.insert(protectedBytes.end(), at + 7, at + frame.header.frameLengthBytes);
  }
  const std::string protectedPath = test::TestCacheDir() + "/protected_" + std::to_string(::getpid()) + ".aac";
  ASSERT_TRUE(test::WriteFileBytes(protectedPath, protectedBytes));
  StreamParameters plainParams, protectedParams;
  const auto fromPlain = DecodeAll(path, nullptr, &plainParams);
  const auto fromProtected = DecodeAll(protectedPath, nullptr, &protectedParams);
  std::remove(protectedPath.c_str());
  EXPECT_EQ(protectedParams.form, StreamForm::Adts);
  EXPECT_EQ(protectedParams.sampleRate, 44100);
  EXPECT_GT(protectedParams.bitRate, plainParams.bitRate);
  EXPECT_EQ(fromProtected, fromPlain);
}

// Catches a lost last block (the maker writes only blocks with a positive result),
// garbage after the end, and reads past a truncated file's end or a hang: every complete
// frame comes back positive, then 0 with silence; a file cut inside a frame decodes its
// complete frames and then stops.
TEST(DecoderLifecycle, EndOfInputReturnsEveryBlockThenSilence) {
  const std::string path = StreamOrSkip(Lc(44100, true, -1, false));
  if (path.empty()) return;
  std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
  const auto frames = test::SplitAdtsFrames(bytes);
  AacDecoder decoder;
  decoder.Open(path);
  std::int16_t out[AacDecoder::kOutputSamples];
  int blocks = 0;
  while (decoder.Decode(out) != 0) ++blocks;
  EXPECT_EQ(blocks, static_cast<int>(frames.size()));
  EXPECT_EQ(decoder.LastStop(), DecodeStop::EndOfInput);
  std::fill(std::begin(out), std::end(out), std::int16_t{5});
  EXPECT_EQ(decoder.Decode(out), 0);
  EXPECT_TRUE(std::all_of(std::begin(out), std::end(out), [](std::int16_t v) { return v == 0; }));
  ASSERT_GT(frames.size(), 20u);
  bytes.resize(frames[20].offset + 100);
  decoder.OpenBytes(bytes);
  blocks = 0;
  while (decoder.Decode(out) != 0 && blocks < 1000) ++blocks;
  EXPECT_EQ(blocks, 20);
}

// Catches a file scan for the mean bit rate that loses or misreads a header lying across
// the end of its 64 KiB read window, or mishandles a file that ends inside a header: the
// file form reports the bit rate of the same bytes opened from memory. The streams start
// at frames chosen so that a header crosses the window end, or are cut in a header.
TEST(DecoderLifecycle, FileScanFindsTheBitRateOfTheBytes) {
  constexpr std::size_t kWindowBytes = 64 * 1024;
  StreamSpec spec = Lc(44100, true, -1, false);
  spec.seconds = 10.0;
  const std::string path = StreamOrSkip(spec);
  if (path.empty()) return;
  const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
  const auto frames = test::SplitAdtsFrames(bytes);
  ASSERT_GT(bytes.size(), 2 * kWindowBytes);
  std::vector<std::pair<std::size_t, std::size_t>> ranges;  // [first byte, end)
  for (std::size_t j = 0; j < frames.size() && ranges.size() < 3; ++j) {
    for (const auto& frame : frames) {
      const std::size_t into = frame.offset - frames[j].offset;
      if (frame.offset > frames[j].offset && into < kWindowBytes && into + 7 > kWindowBytes) {
        ranges.emplace_back(frames[j].offset, bytes.size());
      }
    }
  }
  ASSERT_FALSE(ranges.empty()) << "no header crosses a window end";
  ranges.emplace_back(0, frames.back().offset + 3);
  const std::string file = test::TestCacheDir() + "/bitrate_scan_" + std::to_string(getpid()) + ".aac";
  for (const auto& [first, end] : ranges) {
    const std::vector<std::uint8_t> part(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(end));
    ASSERT_TRUE(test::WriteFileBytes(file, part));
    AacDecoder fromFile;
    AacDecoder fromMemory;
    const std::uint32_t fileRate = fromFile.Open(file).bitRate;
    EXPECT_GT(fileRate, 0u);
    EXPECT_EQ(fileRate, fromMemory.OpenBytes(part).bitRate) << "bytes " << first << " .. " << end;
  }
  std::remove(file.c_str());
}

// Catches a block without channel elements taken for the end of the stream, or leaving
// the caller's area as it was (what a caller then writes depends on what its buffer held
// before, and two programs decoding the same file write different audio): END-only and
// FIL+END blocks return a positive count and give a block of silence.
TEST(DecoderOutput, BlockWithoutChannelsIsSilence) {
  // 0xE0: END (111), then padding to the byte. 0xC1 0xC0: FIL (110) with a count of 0
  // (0000), then END (111) and padding.
  const std::vector<std::uint8_t> bytes = {0xE0, 0xE0, 0xC1, 0xC0, 0xE0, 0xE0, 0xE0, 0xE0};
  AacDecoder decoder;
  const StreamParameters p = decoder.OpenBytes(bytes);
  EXPECT_EQ(p.form, StreamForm::Raw);
  std::int16_t out[AacDecoder::kOutputSamples];
  int blocks = 0;
  for (;;) {
    std::fill(std::begin(out), std::end(out), std::int16_t{12});
    if (decoder.Decode(out) == 0 || blocks >= 100) break;
    ++blocks;
    ASSERT_TRUE(std::all_of(std::begin(out), std::end(out), [](std::int16_t v) { return v == 0; }));
  }
  EXPECT_EQ(blocks, 7);
  EXPECT_FALSE(decoder.ErrorFlag());
  EXPECT_EQ(decoder.Report().blocksEmpty, 7u);
  EXPECT_EQ(decoder.Report().blocksDecoded, 0u);
}

}  // namespace
}  // namespace zbaac
