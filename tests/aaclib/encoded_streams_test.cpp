// Every frame of streams made by an independent encoder parses, and each parse ends
// exactly at the frame's end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>

#include "aaclib/aac_syntax.h"
#include "aaclib/adif_header.h"
#include "aaclib/adts_header.h"
#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace zbaac {
namespace {

using test::StreamSpec;

class EncodedStreamTest : public ::testing::TestWithParam<StreamSpec> {};

std::string SpecName(const ::testing::TestParamInfo<StreamSpec>& info) { return info.param.Name(); }

std::vector<std::uint8_t> MakeStream(const StreamSpec& spec) {
  std::string error;
  const std::string path = test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  return path.empty() ? std::vector<std::uint8_t>{} : test::ReadFileBytes(path);
}

struct Tally {
  int frames = 0;
  int shortFrames = 0, tnsChannels = 0, noiseBands = 0, intensityBands = 0, msBands = 0, ltpChannels = 0;
  int pceElements = 0;
};

void Count(const RawDataBlock& block, Tally& tally) {
  ++tally.frames;
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    const ChannelStream& ch = block.channels[c];
    if (ch.info.windowSequence == WindowSequence::EightShort) ++tally.shortFrames;
    if (ch.tnsDataPresent) ++tally.tnsChannels;
    if (ch.ltp.present) ++tally.ltpChannels;
    for (int w = 0; w < ch.info.numWindows; ++w) {
      for (int b = 0; b < ch.info.maxSfb; ++b) {
        const int cb = ch.codebook[w][b];
        if (cb == kNoiseHcb || cb == kNoiseCorrelatedHcb) ++tally.noiseBands;
        if (cb == kIntensityHcb || cb == kIntensityHcb2) ++tally.intensityBands;
      }
    }
  }
  for (const auto& row : block.pair.msUsed) {
    for (auto flag : row) tally.msBands += flag;
  }
  for (int i = 0; i < block.elementCount; ++i) tally.pceElements += block.elements[i].type == ElementType::Pce;
}

// Catches any syntax element read with the wrong width or order: one misread bit shifts
// the rest of the frame and the parse no longer ends at the frame's last byte.
TEST_P(EncodedStreamTest, EveryAdtsFrameParsesToItsExactEnd) {
  const StreamSpec spec = GetParam();
  const auto bytes = MakeStream(spec);
  ASSERT_FALSE(bytes.empty());
  const auto frames = test::SplitAdtsFrames(bytes);
  ASSERT_GT(frames.size(), 10u);
  BitReader reader(AacInput::FromBytes(bytes));
  SyntaxState state;
  auto block = std::make_unique<RawDataBlock>();
  Tally tally;
  for (const auto& frame : frames) {
    ASSERT_EQ(reader.BitPosition(), frame.offset * 8);
    auto header = ParseAdtsHeader(reader);
    ASSERT_TRUE(header) << "frame at " << frame.offset;
    ApplyAdtsHeader(header.Value(), state);
    auto parsed = ParseRawDataBlock(reader, state, *block);
    ASSERT_TRUE(parsed) << "frame " << tally.frames << " at byte " << frame.offset << ": "
                        << SyntaxErrorText(parsed.Error().kind) << " at bit " << parsed.Error().bitPosition;
    EXPECT_FALSE(block->errorFlag) << "frame " << tally.frames;
    const std::uint64_t end = (frame.offset + static_cast<std::uint64_t>(frame.header.frameLengthBytes)) * 8;
    ASSERT_LE(reader.BitPosition(), end) << "frame " << tally.frames;
    ASSERT_LT(end - reader.BitPosition(), 8u) << "frame " << tally.frames << " left bits unread";
    EXPECT_EQ(block->channelCount, spec.channels);
    Count(*block, tally);
    reader.ByteAlign();
  }
  EXPECT_EQ(tally.frames, static_cast<int>(frames.size()));
  // The stream must really exercise the tool it was made for.
  if (spec.signal == test::Signal::Music) {
    EXPECT_GT(tally.shortFrames, 0);
  }
  if (spec.pce) {
    EXPECT_GT(tally.pceElements, 0);
  }
  if (spec.ms == 1) {
    EXPECT_GT(tally.msBands, 0);
  }
  if (spec.tns && spec.signal == test::Signal::Music) {
    EXPECT_GT(tally.tnsChannels, 0);
  }
  if (spec.ltp && spec.channels == 2) {
    EXPECT_GT(tally.ltpChannels, 0);
  }
  RecordProperty("noiseBands", tally.noiseBands);
  RecordProperty("intensityBands", tally.intensityBands);
}

// Catches a raw stream or ADIF file whose blocks do not parse like the ADTS frames: byte
// alignment relative to the file start, the ADIF header length and the program it sets up.
TEST_P(EncodedStreamTest, RawAndAdifFormsParseToTheSameBlocks) {
  const StreamSpec spec = GetParam();
  const auto bytes = MakeStream(spec);
  ASSERT_FALSE(bytes.empty());
  const auto frames = test::SplitAdtsFrames(bytes);
  auto raw = test::AdtsToRaw(bytes);
  auto adif = test::AdtsToAdif(bytes);
  ASSERT_TRUE(raw && adif);

  for (int form = 0; form < 2; ++form) {
    BitReader reader(AacInput::FromBytes(form == 0 ? raw.Value() : adif.Value()));
    SyntaxState state;
    if (form == 1) {
      AdifHeader header;
      ASSERT_TRUE(ParseAdifHeader(reader, state, header));
      EXPECT_EQ(state.samplingIndex, frames.front().header.samplingIndex);
      EXPECT_FALSE(state.implicitConfig);
      reader.ByteAlign();
    } else {
      // A raw stream carries no sampling index; the caller must know it.
      state.samplingIndex = frames.front().header.samplingIndex;
    }
    auto block = std::make_unique<RawDataBlock>();
    std::size_t count = 0;
    while (count < frames.size()) {
      auto parsed = ParseRawDataBlock(reader, state, *block);
      ASSERT_TRUE(parsed) << "form " << form << " block " << count << ": " << SyntaxErrorText(parsed.Error().kind);
      EXPECT_FALSE(block->errorFlag);
      ++count;
    }
    EXPECT_FALSE(reader.PastEnd());
    reader.ByteAlign();
    auto after = ParseRawDataBlock(reader, state, *block);
    ASSERT_FALSE(after);
    EXPECT_EQ(after.Error().kind, SyntaxErrorKind::EndOfInput);
  }
}

// Catches Main-profile prediction data read as long-term prediction: the frame that carries
// it must fail as unsupported instead of decoding garbage, and frames before it still parse.
TEST(MainProfileStream, PredictionDataFailsAsUnsupported) {
  const std::string path = test::TestCacheDir() + "/sine_main_pred.aac";
  if (test::ReadFileBytes(path).empty()) {
    const std::string partial = path + "." + std::to_string(::getpid()) + ".part";
    ASSERT_EQ(test::RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "sine=frequency=441:sample_rate=44100:duration=1", "-c:a", "aac", "-profile:a",
                                "aac_main", "-aac_pred", "1", "-strict", "-2", "-f", "adts", partial}),
              0);
    std::rename(partial.c_str(), path.c_str());
  }
  const auto bytes = test::ReadFileBytes(path);
  const auto frames = test::SplitAdtsFrames(bytes);
  ASSERT_FALSE(frames.empty());
  BitReader reader(AacInput::FromBytes(bytes));
  SyntaxState state;
  auto block = std::make_unique<RawDataBlock>();
  bool failed = false;
  for (const auto& frame : frames) {
    auto header = ParseAdtsHeader(reader);
    ASSERT_TRUE(header);
    ApplyAdtsHeader(header.Value(), state);
    auto parsed = ParseRawDataBlock(reader, state, *block);
    if (!parsed) {
      EXPECT_EQ(parsed.Error().kind, SyntaxErrorKind::MainPrediction);
      failed = true;
      break;
    }
    reader.ByteAlign();
    ASSERT_EQ(reader.BitPosition(), (frame.offset + static_cast<std::uint64_t>(frame.header.frameLengthBytes)) * 8);
  }
  EXPECT_TRUE(failed);
}

// Catches reads outside tables or buffers on damaged input: streams with flipped bits
// either parse or fail with an error, every parsed block stays within the limits the
// later stages rely on, and the parse always comes to an end.
TEST(CorruptStreams, FlippedBitsFailCleanly) {
  std::mt19937 random(11);
  int failures = 0;
  const auto specs = test::StandardStreams();
  for (const StreamSpec& spec : {specs[0], specs[1], specs[6]}) {
    const auto bytes = MakeStream(spec);
    auto raw = test::AdtsToRaw(bytes);
    ASSERT_TRUE(raw);
    const int samplingIndex = test::SplitAdtsFrames(bytes).front().header.samplingIndex;
    for (int round = 0; round < 60; ++round) {
      std::vector<std::uint8_t> damaged = raw.Value();
      for (int flip = 0; flip < 1 + round % 8; ++flip) {
        const std::size_t bit = random() % (damaged.size() * 8);
        damaged[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
      }
      BitReader reader(AacInput::FromBytes(damaged));
      SyntaxState state;
      state.samplingIndex = samplingIndex;
      auto block = std::make_unique<RawDataBlock>();
      for (std::size_t count = 0;; ++count) {
        ASSERT_LT(count, damaged.size()) << "the parse does not come to an end";
        auto parsed = ParseRawDataBlock(reader, state, *block);
        if (!parsed) {
          failures += parsed.Error().kind != SyntaxErrorKind::EndOfInput;
          break;
        }
        for (int c = 0; c < kMaxChannels; ++c) {
          if (!block->channelPresent[c]) continue;
          const ChannelStream& channel = block->channels[c];
          ASSERT_LE(channel.info.maxSfb, channel.numSwb);
          ASSERT_LE(channel.swbOffset[channel.numSwb], channel.windowLength);
          for (int w = 0; w < channel.info.numWindows; ++w) {
            for (int b = 0; b < channel.info.maxSfb; ++b) {
              const int cb = channel.codebook[w][b];
              if (cb >= 1 && cb <= 11) {
                ASSERT_GE(channel.scalefactor[w][b], 0);
                ASSERT_LE(channel.scalefactor[w][b], 255);
              }
            }
          }
        }
      }
    }
  }
  EXPECT_GT(failures, 0) << "no damage was ever detected";
}

INSTANTIATE_TEST_SUITE_P(Encoder, EncodedStreamTest, ::testing::ValuesIn(test::StandardStreams()), SpecName);

}  // namespace
}  // namespace zbaac
