// Every frame of streams made by an independent encoder parses, and each parse ends
// exactly at the frame's end.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "aaclib/aac_syntax.h"
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
  test::ToolUse tally;
  for (const auto& frame : frames) {
    ASSERT_EQ(reader.BitPosition(), frame.offset * 8);
    auto header = ParseAdtsHeader(reader);
    ASSERT_TRUE(header) << "frame at " << frame.offset;
    ApplyAdtsHeader(header.Value(), state);
    auto parsed = ParseRawDataBlock(reader, state, *block);
    ASSERT_TRUE(parsed) << "frame " << tally.blocks << " at byte " << frame.offset << ": "
                        << parsed.Error().text;
    EXPECT_FALSE(block->errorFlag) << "frame " << tally.blocks;
    const std::uint64_t end = (frame.offset + static_cast<std::uint64_t>(frame.header.frameLengthBytes)) * 8;
    ASSERT_LE(reader.BitPosition(), end) << "frame " << tally.blocks;
    ASSERT_LT(end - reader.BitPosition(), 8u) << "frame " << tally.blocks << " left bits unread";
    EXPECT_EQ(block->channelCount, spec.channels);
    tally.Add(*block);
    reader.ByteAlign();
  }
  EXPECT_EQ(tally.blocks, static_cast<int>(frames.size()));
  // The stream must really exercise the tools it was made for.
  const bool music = spec.signal == test::Signal::Music;
  EXPECT_TRUE(!music || tally.shortBlocks > 0);
  EXPECT_TRUE(!spec.pce || tally.pceElements > 0);
  EXPECT_TRUE(spec.ms != 1 || tally.msBands > 0);
  EXPECT_TRUE(!(spec.tns && music) || tally.tnsChannels > 0);
  EXPECT_TRUE(!(spec.ltp && spec.channels == 2) || tally.ltpChannels > 0);
}

// Catches reads outside tables or buffers on damaged input: streams with flipped bits
// either parse or fail with an error, every parsed block stays within the limits the
// later stages rely on, and the parse always comes to an end.
TEST(CorruptStreams, FlippedBitsFailCleanly) {
  std::mt19937 random(11);
  int failures = 0;
  const auto specs = test::StandardStreams();
  for (const StreamSpec& spec : {specs[0], specs[1], specs[5]}) {
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
          failures += !parsed.Error().Is(SyntaxFault::EndOfInput);
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
