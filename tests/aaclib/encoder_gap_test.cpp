// The encoder delay and padding stated by an iTunSMPB text in the ID3v2 tag in front of a
// stream.
#include "aaclib/encoder_gap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aaclib/aac_input.h"

namespace zbaac {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutSize(Bytes& out, std::uint32_t v, bool synchsafe) {
  const int shift = synchsafe ? 7 : 8;
  const std::uint32_t mask = synchsafe ? 0x7F : 0xFF;
  for (int i = 3; i >= 0; --i) out.push_back(std::uint8_t(v >> (shift * i) & mask));
}

// A tag of the version with one frame of id and body, then a few stream bytes.
Bytes TagWith(int version, const std::string& id, const Bytes& body) {
  Bytes frames;
  frames.insert(frames.end(), id.begin(), id.end());
  PutSize(frames, std::uint32_t(body.size()), version == 4);
  frames.insert(frames.end(), {0, 0});
  frames.insert(frames.end(), body.begin(), body.end());
  frames.insert(frames.end(), 16, 0);  // padding
  Bytes tag = {'I', 'D', '3', std::uint8_t(version), 0, 0};
  PutSize(tag, std::uint32_t(frames.size()), true);
  tag.insert(tag.end(), frames.begin(), frames.end());
  return tag;
}

Bytes Text(const std::string& s, bool wide) {
  Bytes out;
  out.reserve(2 * s.size() + 4);
  if (wide) {
    out.push_back(0xFF);
    out.push_back(0xFE);
  }
  for (char c : s) {
    out.push_back(std::uint8_t(c));
    if (wide) out.push_back(0);
  }
  out.push_back(0);
  if (wide) out.push_back(0);
  return out;
}

const std::string kValue = " 00000000 00000840 000001CA 00000000003F31F6 00000000 00000000";

std::optional<EncoderGap> GapOf(const Bytes& tag) {
  Bytes file = tag;
  file.insert(file.end(), {0xFF, 0xF1, 0x50, 0x80});
  const AacInput input = AacInput::FromBytes(file);
  return FindEncoderGap(input, tag.size());
}

// Catches the words misread (decimal for hex, the reserved word taken for the delay) and
// junk accepted as a gap.
TEST(EncoderGap, ParsesTheItunSmpbWords) {
  const auto gap = ParseItunSmpb(kValue);
  ASSERT_TRUE(gap);
  EXPECT_EQ(gap->delayFrames, 0x840u);
  EXPECT_EQ(gap->paddingFrames, 0x1CAu);
  EXPECT_EQ(gap->validFrames, 0x3F31F6u);
  EXPECT_FALSE(ParseItunSmpb(""));
  EXPECT_FALSE(ParseItunSmpb(" 00000000 00000840 000001CA"));
  EXPECT_FALSE(ParseItunSmpb(" 00000000 0000084G 000001CA 00000000003F31F6"));
  EXPECT_FALSE(ParseItunSmpb(" 00000000 00000840 000001CA 0000000000000000"));
}

// Catches the text missed in the frames writers use for it (TXXX in UTF-8, COMM in UTF-16
// with a byte order mark, version 2.3 sizes), or taken from a frame of another description.
TEST(EncoderGap, FoundInTxxxAndCommFrames) {
  Bytes txxx = {3};
  for (const Bytes& part : {Text("iTunSMPB", false), Text(kValue, false)}) txxx.insert(txxx.end(), part.begin(), part.end());
  const auto fromTxxx = GapOf(TagWith(4, "TXXX", txxx));
  ASSERT_TRUE(fromTxxx);
  EXPECT_EQ(fromTxxx->delayFrames, 0x840u);

  Bytes comm = {1, 'e', 'n', 'g'};
  for (const Bytes& part : {Text("iTunSMPB", true), Text(kValue, true)}) comm.insert(comm.end(), part.begin(), part.end());
  const auto fromComm = GapOf(TagWith(3, "COMM", comm));
  ASSERT_TRUE(fromComm);
  EXPECT_EQ(fromComm->validFrames, 0x3F31F6u);

  Bytes other = {3};
  for (const Bytes& part : {Text("iTunNORM", false), Text(kValue, false)}) other.insert(other.end(), part.begin(), part.end());
  EXPECT_FALSE(GapOf(TagWith(4, "TXXX", other)));
  EXPECT_FALSE(GapOf(Bytes{}));
}

}  // namespace
}  // namespace zbaac
