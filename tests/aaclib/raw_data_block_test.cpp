// The element loop: FIL, END, unsupported elements, channel placement, the channel map
// checks, M/S flags and their bookkeeping, program configurations inside blocks.
#include <gtest/gtest.h>

#include <memory>

#include "aaclib/aac_syntax.h"
#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;
using test::PutElement;
using test::PutLongInfo;
using test::PutNoTools;
using test::PutSections;
using test::PutSilentLongStream;
using test::ReaderFor;

constexpr int kSce = 0, kCpe = 1, kCce = 2, kLfe = 3, kDse = 4, kPce = 5, kFil = 6, kEnd = 7;

void PutSce(BitWriter& writer, int tag, int maxSfb = 0) {
  PutElement(writer, kSce);
  writer.Put(static_cast<std::uint32_t>(tag), 4);
  PutSilentLongStream(writer, 100, /*withInfo=*/true, maxSfb);
}

// A CPE with a shared long ics_info and ms_mask_present 0.
void PutCpe(BitWriter& writer, int tag, int maxSfb = 0) {
  PutElement(writer, kCpe);
  writer.Put(static_cast<std::uint32_t>(tag), 4).Put(1, 1);
  PutLongInfo(writer, maxSfb);
  writer.Put(0, 2);
  PutSilentLongStream(writer, 100, false, maxSfb);
  PutSilentLongStream(writer, 100, false, maxSfb);
}

void PutEnd(BitWriter& writer) {
  PutElement(writer, kEnd);
  writer.Align();
}

// Parses consecutive blocks of one stream.
class BlockParser {
 public:
  explicit BlockParser(const BitWriter& writer) : reader_(ReaderFor(writer)) {}
  Expected<BlockEnd> Next() { return ParseRawDataBlock(reader_, state_, *block_); }
  const RawDataBlock& Block() const { return *block_; }
  SyntaxState& State() { return state_; }

 private:
  BitReader reader_;
  SyntaxState state_;
  std::unique_ptr<RawDataBlock> block_ = std::make_unique<RawDataBlock>();
};

// Catches a wrong FIL byte count: count 15 with escape 0 skips 14 bytes, with escape
// 255 skips 269, a count below 15 skips that many.
TEST(RawDataBlock, FilElementSkipsItsCount) {
  for (const auto& [count, escape, skipped] : std::vector<std::tuple<int, int, int>>{{15, 0, 14}, {15, 255, 269}, {3, -1, 3}, {0, -1, 0}}) {
    BitWriter writer;
    PutElement(writer, kFil);
    writer.Put(static_cast<std::uint32_t>(count), 4);
    if (escape >= 0) writer.Put(static_cast<std::uint32_t>(escape), 8);
    for (int i = 0; i < skipped; ++i) writer.Put(kEnd << 5 | kEnd << 2, 8);  // bytes that would read as END
    PutSce(writer, 0);
    PutEnd(writer);
    BlockParser parser(writer);
    ASSERT_TRUE(parser.Next()) << "count " << count;
    EXPECT_EQ(parser.Block().channelCount, 1) << "count " << count;
    EXPECT_EQ(parser.Block().elementCount, 3);
  }
}

// Catches coupling, LFE and data stream elements being skipped over as if understood.
TEST(RawDataBlock, CouplingLfeAndDataStreamElementsStopTheBlock) {
  for (const int id : {kCce, kLfe, kDse}) {
    BitWriter writer;
    PutElement(writer, id);
    writer.Put(0, 32);
    BlockParser parser(writer);
    auto result = parser.Next();
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.Error().Is(SyntaxFault::UnsupportedElement));
    EXPECT_NE(result.Error().text.find("(value " + std::to_string(id) + ")"), std::string::npos) << result.Error().text;
  }
}

// Catches a block's failure losing where it happened or what kind it is: an element this
// decoder leaves out is Unsupported, at the bit after its id; a block cut off is Format.
TEST(RawDataBlock, FailuresCarryCategoryBitAndText) {
  BitWriter writer;
  PutElement(writer, kLfe);
  writer.Put(0, 32);
  BlockParser parser(writer);
  auto unsupported = parser.Next();
  ASSERT_FALSE(unsupported);
  EXPECT_EQ(unsupported.Error().category, ErrorCategory::Unsupported);
  EXPECT_EQ(unsupported.Error().position.unit, ErrorPosition::Unit::Bit);
  EXPECT_EQ(unsupported.Error().position.value, 3u);
  EXPECT_EQ(unsupported.Error().text, "coupling, data stream or LFE element (value 3) at bit 3");

  BitWriter empty;
  BlockParser nothing(empty);
  auto ended = nothing.Next();
  ASSERT_FALSE(ended);
  EXPECT_EQ(ended.Error().category, ErrorCategory::Format);
  EXPECT_TRUE(ended.Error().Is(SyntaxFault::EndOfInput));
  EXPECT_EQ(ended.Error().position.unit, ErrorPosition::Unit::Bit);
}

// Catches ms_mask_present 2 setting only the transmitted bands: every band up to the
// layout's band count is on, also above max_sfb.
TEST(RawDataBlock, MsMaskPresentTwoSetsEveryBand) {
  BitWriter writer;
  PutElement(writer, kCpe);
  writer.Put(0, 4).Put(1, 1);
  PutLongInfo(writer, 3);
  writer.Put(2, 2);
  PutSilentLongStream(writer, 100, false, 3);
  PutSilentLongStream(writer, 100, false, 3);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  const PairStereo& pair = parser.Block().pair;
  EXPECT_EQ(pair.msMaskPresent, 2);
  for (int b = 0; b < 49; ++b) EXPECT_EQ(pair.msUsed[0][b], 1) << b;
  EXPECT_EQ(pair.msUsed[0][49], 0);
  EXPECT_EQ(parser.Block().infoChannel[1], 0);
}

// Catches the M/S bookkeeping: with ms_mask_present 1, flagged right-channel bands with
// intensity swap 15 and 14, noise becomes the correlated noise value, and their flags
// are cleared; ordinary bands keep theirs. The reserved value 3 reads flags the same way
// but leaves the codebooks alone.
TEST(RawDataBlock, MsFlagsOnIntensityAndNoiseBandsAreTakenOver) {
  for (const int mask : {1, 3}) {
    BitWriter writer;
    PutElement(writer, kCpe);
    writer.Put(0, 4).Put(1, 1);
    PutLongInfo(writer, 5);
    writer.Put(static_cast<std::uint32_t>(mask), 2);
    writer.Put(0b11110, 5);
    PutSilentLongStream(writer, 100, false, 5);
    writer.Put(100, 8);
    PutSections(writer, false, {{15, 1}, {14, 1}, {13, 1}, {1, 1}, {15, 1}});
    writer.ScalefactorCode(2).ScalefactorCode(1).Put(256, 9).ScalefactorCode(0).ScalefactorCode(0);
    PutNoTools(writer);
    writer.SpectrumCode(1, 40);
    PutEnd(writer);
    BlockParser parser(writer);
    ASSERT_TRUE(parser.Next()) << mask;
    const RawDataBlock& block = parser.Block();
    const auto& right = block.channels[1].codebook[0];
    const auto& flags = block.pair.msUsed[0];
    if (mask == 1) {
      EXPECT_EQ(right[0], kIntensityHcb2);
      EXPECT_EQ(right[1], kIntensityHcb);
      EXPECT_EQ(right[2], kNoiseCorrelatedHcb);
      EXPECT_EQ(flags[0] + flags[1] + flags[2], 0);
    } else {
      EXPECT_EQ(right[0], kIntensityHcb);
      EXPECT_EQ(right[2], kNoiseHcb);
      EXPECT_EQ(flags[0], 1);
    }
    EXPECT_EQ(right[3], 1);
    EXPECT_EQ(flags[3], 1);
    EXPECT_EQ(right[4], kIntensityHcb);  // not flagged: unchanged
    EXPECT_EQ(flags[4], 0);
    EXPECT_EQ(block.channels[1].scalefactor[0][0], 2);
    EXPECT_EQ(block.channels[1].scalefactor[0][1], 3);
    EXPECT_EQ(block.channels[1].scalefactor[0][2], 10);
  }
}

// Catches a third channel without a program configuration going unnoticed: a second CPE
// with the same tag sets the error flag and decodes into the pair's channels; one with
// another tag, or a pair after a single channel, has nowhere to go and fails.
TEST(RawDataBlock, SecondPairWithoutProgramRaisesTheErrorFlag) {
  BitWriter same;
  PutCpe(same, 0);
  PutCpe(same, 0);
  PutEnd(same);
  BlockParser parser(same);
  ASSERT_TRUE(parser.Next());
  EXPECT_TRUE(parser.Block().errorFlag);
  EXPECT_EQ(parser.Block().elements[1].firstChannel, 0);
  for (const bool afterSce : {false, true}) {
    BitWriter writer;
    afterSce ? PutSce(writer, 0) : PutCpe(writer, 0);
    PutCpe(writer, afterSce ? 0 : 1);
    PutEnd(writer);
    auto result = BlockParser(writer).Next();
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.Error().Is(SyntaxFault::NoSuchChannel));
  }
}

// Catches a layout change between blocks going unnoticed: a CPE in block 0 and an SCE in
// block 1 differ in entry 0; a CPE again is fine; two SCEs count as front mono channels.
TEST(RawDataBlock, ChangedChannelLayoutRaisesTheErrorFlag) {
  BitWriter writer;
  PutCpe(writer, 0);
  PutEnd(writer);
  PutCpe(writer, 3);
  PutEnd(writer);
  PutSce(writer, 0);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  EXPECT_FALSE(parser.Block().errorFlag);
  ASSERT_TRUE(parser.Next());
  EXPECT_FALSE(parser.Block().errorFlag);
  ASSERT_TRUE(parser.Next());
  EXPECT_TRUE(parser.Block().errorFlag);

  BitWriter mono;
  PutSce(mono, 0);
  PutSce(mono, 1);
  PutEnd(mono);
  BlockParser monoParser(mono);
  ASSERT_TRUE(monoParser.Next());
  EXPECT_EQ(monoParser.Block().channelCount, 2);
  EXPECT_EQ(monoParser.State().map.frontMonoCount, 2);
  EXPECT_FALSE(monoParser.Block().errorFlag);
}

// Writes a program configuration element (after its identifier) with front elements.
void PutPce(BitWriter& writer, int tag, int samplingIndex, const std::vector<std::pair<bool, int>>& fronts,
            int backs = 0) {
  writer.Put(static_cast<std::uint32_t>(tag), 4).Put(1, 2).Put(static_cast<std::uint32_t>(samplingIndex), 4);
  writer.Put(static_cast<std::uint32_t>(fronts.size()), 4).Put(0, 4).Put(static_cast<std::uint32_t>(backs), 4);
  writer.Put(0, 2).Put(0, 3).Put(0, 4).Put(0, 3);
  for (const auto& [isCpe, elementTag] : fronts) writer.Bit(isCpe).Put(static_cast<std::uint32_t>(elementTag), 4);
  for (int i = 0; i < backs; ++i) writer.Bit(false).Put(0, 4);
  writer.Align().Put(0, 8);
}

// Catches a program configuration inside a block not taking over: its sampling index
// and channel elements apply from then on, and elements it does not name fail.
TEST(RawDataBlock, ProgramConfigurationInsideABlock) {
  BitWriter writer;
  PutElement(writer, kPce);
  PutPce(writer, 2, 3, {{true, 5}});
  PutCpe(writer, 5, 49);
  PutEnd(writer);
  PutCpe(writer, 5);
  PutEnd(writer);
  PutCpe(writer, 6);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  EXPECT_EQ(parser.Block().samplingIndex, 3);
  EXPECT_FALSE(parser.State().implicitConfig);
  EXPECT_EQ(parser.Block().channelCount, 2);
  ASSERT_TRUE(parser.Next());
  EXPECT_FALSE(parser.Block().errorFlag);
  auto result = parser.Next();
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.Error().Is(SyntaxFault::NoSuchChannel));
}

// Catches a refused program (a back channel) changing the stream anyway.
TEST(RawDataBlock, RefusedProgramChangesNothing) {
  BitWriter writer;
  PutElement(writer, kPce);
  PutPce(writer, 0, 3, {{true, 0}}, /*backs=*/1);
  PutCpe(writer, 0);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  EXPECT_EQ(parser.Block().elements[0].tag, -1);
  EXPECT_EQ(parser.State().samplingIndex, 4);
  EXPECT_TRUE(parser.State().implicitConfig);
}

// Catches the right channel of a common-window pair losing its own prediction data,
// which the standard sends inside the shared ics_info before ms_mask_present.
TEST(RawDataBlock, CommonWindowPairCarriesRightChannelPrediction) {
  BitWriter writer;
  PutElement(writer, kCpe);
  writer.Put(0, 4).Put(1, 1);
  writer.Put(0, 1).Put(0, 2).Put(0, 1).Put(2, 6);     // long, max_sfb 2
  writer.Put(1, 1);                                   // predictor_data_present
  writer.Put(0, 1);                                   // left: no LTP
  writer.Put(1, 1).Put(777, 11).Put(2, 3).Put(0b10, 2);  // right: lag 777
  writer.Put(1, 2).Put(0b01, 2);                      // ms_mask_present 1
  PutSilentLongStream(writer, 100, false, 2);
  PutSilentLongStream(writer, 100, false, 2);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  const RawDataBlock& block = parser.Block();
  EXPECT_FALSE(block.channels[0].ltp.present);
  EXPECT_TRUE(block.channels[1].ltp.present);
  EXPECT_EQ(block.channels[1].ltp.lag, 777);
  EXPECT_EQ(block.channels[1].ltp.longUsed[0], 1);
  EXPECT_EQ(block.channels[1].ltp.longUsed[1], 0);
  EXPECT_EQ(block.pair.msUsed[0][1], 1);
  EXPECT_EQ(block.channels[1].info.maxSfb, 2);
}

// Catches a block cut off by the end of the file being taken for a complete one, and
// zero bits past the end looping as empty elements.
TEST(RawDataBlock, TruncatedBlockEndsAtTheEndOfInput) {
  BitWriter writer;
  PutCpe(writer, 0, 10);
  std::vector<std::uint8_t> bytes = writer.Bytes();
  bytes.resize(bytes.size() - 2);
  BitReader reader(AacInput::FromBytes(bytes));
  SyntaxState state;
  auto block = std::make_unique<RawDataBlock>();
  auto result = ParseRawDataBlock(reader, state, *block);
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.Error().Is(SyntaxFault::EndOfInput));

  BitReader empty(AacInput::FromBytes({}));
  auto nothing = ParseRawDataBlock(empty, state, *block);
  ASSERT_FALSE(nothing);
  EXPECT_TRUE(nothing.Error().Is(SyntaxFault::EndOfInput));
}

// Catches blocks that do not start on a byte boundary of the input.
TEST(RawDataBlock, EveryBlockStartsByteAligned) {
  BitWriter writer;
  PutSce(writer, 0);
  PutEnd(writer);
  const std::uint64_t second = writer.BitCount();
  PutSce(writer, 0);
  PutEnd(writer);
  BlockParser parser(writer);
  ASSERT_TRUE(parser.Next());
  ASSERT_TRUE(parser.Next());
  EXPECT_EQ(parser.Block().startBit, second);
}

}  // namespace
}  // namespace zbaac
