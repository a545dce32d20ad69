// ADTS frame headers.
#include "aaclib/adts_header.h"

#include <gtest/gtest.h>

#include "aaclib/aac_input.h"
#include "aaclib/aac_syntax.h"
#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;

BitWriter Header(bool protectionAbsent, int profile, int samplingIndex, int channels, int frameLength, int blocks = 1) {
  BitWriter writer;
  writer.Put(0xFFF, 12).Put(0, 1).Put(0, 2).Bit(protectionAbsent).Put(static_cast<std::uint32_t>(profile), 2);
  writer.Put(static_cast<std::uint32_t>(samplingIndex), 4).Put(0, 1).Put(static_cast<std::uint32_t>(channels), 3);
  writer.Put(0, 4).Put(static_cast<std::uint32_t>(frameLength), 13).Put(0x7FF, 11);
  writer.Put(static_cast<std::uint32_t>(blocks - 1), 2);
  if (!protectionAbsent) {
    for (int i = 1; i < blocks; ++i) writer.Put(0x1234, 16);
    writer.Put(0xBEEF, 16);
  }
  return writer;
}

// Catches misplaced header fields and a CRC left in front of the raw data.
TEST(AdtsHeader, FieldsAndHeaderLength) {
  for (const bool absent : {true, false}) {
    BitWriter writer = Header(absent, 1, 3, 2, 371);
    auto bytes = writer.Bytes();
    auto header = ParseAdtsHeader(bytes, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header.Value().protectionAbsent, absent);
    EXPECT_EQ(header.Value().profile, 1);
    EXPECT_EQ(header.Value().samplingIndex, 3);
    EXPECT_EQ(header.Value().channelConfiguration, 2);
    EXPECT_EQ(header.Value().frameLengthBytes, 371);
    EXPECT_EQ(header.Value().bufferFullness, 0x7FF);
    EXPECT_EQ(header.Value().rawDataBlocks, 1);
    EXPECT_EQ(header.Value().headerBytes, absent ? 7 : 9);
    SyntaxState state;
    ApplyAdtsHeader(header.Value(), state);
    EXPECT_EQ(state.samplingIndex, 3);
    EXPECT_EQ(state.objectType, 2);
  }
  BitWriter multi = Header(false, 3, 8, 1, 900, 3);
  auto header = ParseAdtsHeader(multi.Bytes(), 0);
  ASSERT_TRUE(header);
  EXPECT_EQ(header.Value().rawDataBlocks, 3);
  EXPECT_EQ(header.Value().headerBytes, 13);
}

// Catches headers accepted at a wrong position, with a sampling index that has no band
// table, with a frame shorter than its header, or cut off by the end of the data.
TEST(AdtsHeader, InvalidHeadersAreRefused) {
  auto good = Header(true, 1, 4, 2, 200).Bytes();
  auto shifted = ParseAdtsHeader(good, 1);
  ASSERT_FALSE(shifted);
  EXPECT_TRUE(shifted.Error().Is(AdtsFault::NoSync));
  EXPECT_EQ(shifted.Error().position.unit, ErrorPosition::Unit::Byte);
  EXPECT_EQ(shifted.Error().position.value, 1u);
  EXPECT_EQ(shifted.Error().category, ErrorCategory::Format);
  EXPECT_EQ(shifted.Error().text, "no ADTS sync word at byte 1");

  auto reserved = ParseAdtsHeader(Header(true, 1, 13, 2, 200).Bytes(), 0);
  ASSERT_FALSE(reserved);
  EXPECT_TRUE(reserved.Error().Is(AdtsFault::ReservedSampling));

  auto tiny = ParseAdtsHeader(Header(false, 1, 4, 2, 8).Bytes(), 0);
  ASSERT_FALSE(tiny);
  EXPECT_TRUE(tiny.Error().Is(AdtsFault::BadFrameLength));

  good.resize(5);
  auto cut = ParseAdtsHeader(good, 0);
  ASSERT_FALSE(cut);
  EXPECT_TRUE(cut.Error().Is(AdtsFault::Truncated));
  EXPECT_FALSE(ParseAdtsHeader(good, 5));
}

// Catches the header of another MPEG audio layer (an MP3 frame: layer bits 01) taken for
// an ADTS header.
TEST(AdtsHeader, OtherLayersAreRefused) {
  BitWriter writer;
  writer.Put(0xFFF, 12).Put(1, 1).Put(1, 2).Bit(true).Put(1, 2).Put(4, 4).Put(0, 1).Put(2, 3);
  writer.Put(0, 4).Put(200, 13).Put(0x7FF, 11).Put(0, 2);
  auto header = ParseAdtsHeader(writer.Bytes(), 0);
  ASSERT_FALSE(header);
  EXPECT_TRUE(header.Error().Is(AdtsFault::WrongLayer));
}

// Catches a search that takes a chance pattern for a frame: a header counts only when the
// next header, with the same fixed fields, stands where its frame ends; the end of the
// input there confirms it only when asked; a frame reaching past the end never does; a
// header whose fixed fields differ from the stream's is passed over.
TEST(AdtsHeader, SearchFindsOnlyConfirmedHeaders) {
  auto frame = [](int samplingIndex, int length) {
    std::vector<std::uint8_t> bytes = Header(true, 1, samplingIndex, 2, length).Bytes();
    bytes.resize(static_cast<std::size_t>(length), 0x11);
    return bytes;
  };
  std::vector<std::uint8_t> bytes = {0x00, 0xFF, 0xF1, 0x12};  // junk with a sync word in it
  for (const auto& part : {frame(4, 100), frame(4, 120), frame(4, 90)}) bytes.insert(bytes.end(), part.begin(), part.end());
  const AacInput input = AacInput::FromBytes(bytes);
  auto found = FindAdtsFrame(input, 0, bytes.size(), nullptr, false);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, 4u);
  EXPECT_EQ(FindAdtsFrame(input, 5, bytes.size(), nullptr, false)->offset, 104u);
  EXPECT_FALSE(FindAdtsFrame(input, 105, bytes.size(), nullptr, false));  // the last frame
  EXPECT_EQ(FindAdtsFrame(input, 105, bytes.size(), nullptr, true)->offset, 224u);
  AdtsHeader other = found->header;
  other.samplingIndex = 3;
  EXPECT_FALSE(FindAdtsFrame(input, 0, bytes.size(), &other, true));

  std::vector<std::uint8_t> cut = frame(4, 100);
  const std::vector<std::uint8_t> longer = frame(4, 500);
  cut.insert(cut.end(), longer.begin(), longer.begin() + 200);  // a frame reaching past the end
  const AacInput cutInput = AacInput::FromBytes(cut);
  EXPECT_FALSE(FindAdtsFrame(cutInput, 1, cut.size(), nullptr, true));
}

// Catches the reader form disagreeing with the byte form on where the data starts.
TEST(AdtsHeader, ReaderIsLeftAtTheRawData) {
  BitWriter writer = Header(false, 1, 4, 1, 10);
  writer.Put(0xE, 4);
  BitReader reader = test::ReaderFor(writer);
  auto header = ParseAdtsHeader(reader);
  ASSERT_TRUE(header);
  EXPECT_EQ(reader.BitPosition(), 72u);
  EXPECT_EQ(reader.ReadBits(4), 0xEu);
}

}  // namespace
}  // namespace zbaac
