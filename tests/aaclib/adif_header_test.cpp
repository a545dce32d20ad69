// The ADIF header and the program configuration it selects.
#include "aaclib/adif_header.h"

#include <gtest/gtest.h>

#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;
using test::ReaderFor;

struct Program {
  int tag = 0;
  int samplingIndex = 3;
  std::vector<std::pair<bool, int>> fronts = {{true, 0}};
  int sides = 0, backs = 0, lfes = 0;
  bool stereoMixdown = false;
  std::string comment;
};

void PutProgram(BitWriter& writer, const Program& p) {
  writer.Put(static_cast<std::uint32_t>(p.tag), 4).Put(1, 2).Put(static_cast<std::uint32_t>(p.samplingIndex), 4);
  writer.Put(static_cast<std::uint32_t>(p.fronts.size()), 4).Put(static_cast<std::uint32_t>(p.sides), 4);
  writer.Put(static_cast<std::uint32_t>(p.backs), 4).Put(static_cast<std::uint32_t>(p.lfes), 2);
  writer.Put(1, 3).Put(1, 4);  // one data element, one coupling channel (recorded only)
  writer.Put(0, 1).Bit(p.stereoMixdown);
  if (p.stereoMixdown) writer.Put(0, 4);
  writer.Put(0, 1);
  for (const auto& [isCpe, tag] : p.fronts) writer.Bit(isCpe).Put(static_cast<std::uint32_t>(tag), 4);
  for (int i = 0; i < p.sides + p.backs; ++i) writer.Bit(false).Put(1, 4);
  for (int i = 0; i < p.lfes; ++i) writer.Put(2, 4);
  writer.Put(9, 4);            // data element tag
  writer.Put(1, 1).Put(7, 4);  // coupling: independently switched, tag 7
  writer.Align();
  writer.Put(static_cast<std::uint32_t>(p.comment.size()), 8);
  for (char c : p.comment) writer.Put(static_cast<std::uint8_t>(c), 8);
}

BitWriter AdifWith(const std::vector<Program>& programs, bool copyright, int bitstreamType, std::uint32_t bitrate) {
  BitWriter writer;
  writer.Put(kAdifId, 32).Bit(copyright);
  if (copyright) {
    for (int i = 0; i < 9; ++i) writer.Put(0xC0 + static_cast<std::uint32_t>(i), 8);
  }
  writer.Put(1, 1).Put(0, 1).Put(static_cast<std::uint32_t>(bitstreamType), 1).Put(bitrate, 23);
  writer.Put(static_cast<std::uint32_t>(programs.size() - 1), 4);
  for (const Program& program : programs) {
    if (bitstreamType == 0) writer.Put(0xABCDE, 20);
    PutProgram(writer, program);
  }
  return writer;
}

// Catches the copyright identifier shifting the fields after it: the 23-bit bit rate
// and the program still read correctly with and without it, with the 20-bit buffer
// fullness of constant-rate streams.
TEST(AdifHeader, FieldsReadWithAndWithoutCopyrightId) {
  for (const bool copyright : {false, true}) {
    for (const int type : {0, 1}) {
      Program program;
      program.comment = "zimbar";
      BitWriter writer = AdifWith({program}, copyright, type, 0x5ABCDE);
      BitReader reader = ReaderFor(writer);
      SyntaxState state;
      AdifHeader header;
      ASSERT_TRUE(ParseAdifHeader(reader, state, header)) << copyright << type;
      EXPECT_EQ(header.copyrightIdPresent, copyright);
      if (copyright) {
        EXPECT_EQ(header.copyrightId[8], 0xC8);
      }
      EXPECT_TRUE(header.originalCopy);
      EXPECT_EQ(header.bitstreamType, type);
      EXPECT_EQ(header.bitrate, 0x5ABCDEu);
      EXPECT_EQ(header.bufferFullness[0], type == 0 ? 0xABCDEu : 0u);
      EXPECT_EQ(reader.BitPosition(), writer.BitCount());
      EXPECT_EQ(state.samplingIndex, 3);
      EXPECT_FALSE(state.implicitConfig);
      EXPECT_EQ(state.selectedProgramTag, 0);
      EXPECT_STREQ(state.selectedProgram.comment.data(), "zimbar");
      EXPECT_EQ(state.map.channelCount, 2);
      EXPECT_EQ(state.map.ccCount, 1);
      EXPECT_EQ(state.map.ccTag[0], 7);
      EXPECT_TRUE(state.map.entries[0].isLeft);
      EXPECT_EQ(state.map.entries[1].partner, 0);
    }
  }
}

// Catches programs the decoder cannot play being accepted: side, back or LFE channels,
// a mixdown, more than two front channels, or a sampling index without a band table
// (read past the band tables) leave the stream unconfigured, with the header's end found.
TEST(AdifHeader, UnplayableProgramsAreRefused) {
  std::vector<Program> refused(6);
  refused[0].backs = 1;
  refused[1].sides = 1;
  refused[2].lfes = 1;
  refused[3].stereoMixdown = true;
  refused[4].fronts = {{true, 0}, {false, 1}};
  refused[5].samplingIndex = 13;
  for (const Program& program : refused) {
    BitWriter writer = AdifWith({program}, false, 1, 128000);
    BitReader reader = ReaderFor(writer);
    SyntaxState state;
    AdifHeader header;
    EXPECT_FALSE(ParseAdifHeader(reader, state, header));
    EXPECT_TRUE(state.implicitConfig);
    EXPECT_EQ(state.samplingIndex, 4);
    EXPECT_EQ(reader.BitPosition(), writer.BitCount());
  }
}

// Catches the wrong program being selected: the first program's tag is selected, and a
// later program with another tag changes nothing.
TEST(AdifHeader, FirstProgramTagIsSelected) {
  Program first;
  first.tag = 4;
  first.samplingIndex = 7;
  first.fronts = {{false, 2}};
  Program second;
  second.tag = 5;
  second.samplingIndex = 0;
  BitWriter writer = AdifWith({first, second}, false, 0, 64000);
  BitReader reader = ReaderFor(writer);
  SyntaxState state;
  AdifHeader header;
  ASSERT_TRUE(ParseAdifHeader(reader, state, header));
  EXPECT_EQ(header.numProgramConfigElements, 1);
  EXPECT_EQ(state.selectedProgramTag, 4);
  EXPECT_EQ(state.samplingIndex, 7);
  EXPECT_EQ(state.map.channelCount, 1);
  EXPECT_EQ(state.map.frontMonoCount, 1);
  EXPECT_EQ(reader.BitPosition(), writer.BitCount());
}

}  // namespace
}  // namespace zbaac
