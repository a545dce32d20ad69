// The ID3 tags around an AAC stream: how far a leading ID3v2 tag reaches, and a trailing
// ID3v1 record.
#include "aaclib/id3_tags.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "aaclib/aac_input.h"

namespace zbaac {
namespace {

// An input of `total` bytes starting with the ten header bytes given.
AacInput WithHeader(std::vector<std::uint8_t> header, std::size_t total) {
  header.resize(total, 0);
  return AacInput::FromBytes(std::move(header));
}

// Catches a tag's extent read wrongly (size, footer by version), and bytes that are no
// tag header, or a tag longer than the input, taken for one.
TEST(Id3Tags, LeadingTagExtentFollowsItsHeader) {
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 3, 0, 0, 0, 0, 3, 0x6A}, 1000)), 10u + 490u);
  // The footer flag counts in version 2.4 only.
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0}, 1000)), 10u + 128u + 10u);
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 3, 0, 0x10, 0, 0, 1, 0}, 1000)), 10u + 128u);
  // Not a tag: a size byte over 0x7F, revision 0xFF, version 2.5, no marker, too long.
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0}, 1000)), 0u);
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 3, 0xFF, 0, 0, 0, 1, 0}, 1000)), 0u);
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 5, 0, 0, 0, 0, 1, 0}, 1000)), 0u);
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '2', 3, 0, 0, 0, 0, 1, 0}, 1000)), 0u);
  EXPECT_EQ(Id3v2TagBytes(WithHeader({'I', 'D', '3', 3, 0, 0, 0, 0, 8, 0}, 1000)), 0u);
  EXPECT_EQ(Id3v2TagBytes(AacInput::FromBytes({'I', 'D', '3'})), 0u);
}

// Catches a trailing record missed, or one found inside what comes before `from`.
TEST(Id3Tags, TrailingRecordIsFoundOnlyBehindTheStream) {
  std::vector<std::uint8_t> bytes(1000, 0);
  bytes[1000 - 128] = 'T';
  bytes[1000 - 127] = 'A';
  bytes[1000 - 126] = 'G';
  EXPECT_EQ(Id3v1TagBytes(AacInput::FromBytes(bytes), 0), 128u);
  EXPECT_EQ(Id3v1TagBytes(AacInput::FromBytes(bytes), 1000 - 127), 0u);
  bytes[1000 - 128] = 'X';
  EXPECT_EQ(Id3v1TagBytes(AacInput::FromBytes(bytes), 0), 0u);
}

}  // namespace
}  // namespace zbaac
