// ics_info, sections, scalefactors, pulses, TNS, gain control and prediction data.
#include "aaclib/ics_syntax.h"

#include <gtest/gtest.h>

#include <memory>

#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;
using test::PutLongInfo;
using test::PutNoTools;
using test::PutSections;
using test::PutShortInfo;
using test::ReaderFor;

struct Parsed {
  std::unique_ptr<ChannelStream> channel = std::make_unique<ChannelStream>();
  bool errorFlag = false;
  Outcome status = Done{};
  std::uint64_t bitsRead = 0;
};

// A channel stream's global gain and long ics_info.
BitWriter LongStart(int maxSfb, int gain = 100) {
  BitWriter writer;
  writer.Put(static_cast<std::uint32_t>(gain), 8);
  PutLongInfo(writer, maxSfb);
  return writer;
}

void ExpectFailure(const Parsed& parsed, SyntaxFault kind) {
  ASSERT_FALSE(parsed.status);
  EXPECT_TRUE(parsed.status.Error().Is(kind)) << parsed.status.Error().text;
}

Parsed Parse(const BitWriter& writer, const SyntaxState& state = SyntaxState{}) {
  Parsed parsed;
  BitReader reader = ReaderFor(writer);
  parsed.status = ParseChannelStream(reader, state, *parsed.channel, /*commonWindow=*/false, parsed.errorFlag);
  parsed.bitsRead = reader.BitPosition();
  return parsed;
}

// Catches a section length escape handled wrongly: 31 then 2 is one section of 33 bands
// in a long window, 7 then 2 one of 9 bands in a short window.
TEST(IcsSyntax, SectionLengthEscapes) {
  {
    BitWriter writer = LongStart(40);
    writer.Put(0, 4).Put(31, 5).Put(2, 5);  // 33 bands of codebook 0
    writer.Put(0, 4).Put(7, 5);             // 7 more
    PutNoTools(writer);
    Parsed parsed = Parse(writer);
    ASSERT_TRUE(parsed.status);
    EXPECT_EQ(parsed.bitsRead, writer.BitCount());
  }
  {
    BitWriter writer;
    writer.Put(100, 8);
    PutShortInfo(writer, 12, 0x7F);          // one group of eight windows
    writer.Put(0, 4).Put(7, 3).Put(2, 3);    // 9 bands
    writer.Put(0, 4).Put(3, 3);              // 3 more
    PutNoTools(writer);
    Parsed parsed = Parse(writer);
    ASSERT_TRUE(parsed.status);
    EXPECT_EQ(parsed.bitsRead, writer.BitCount());
  }
  {  // 31 + 2 is more than max_sfb 32
    BitWriter writer = LongStart(32);
    writer.Put(0, 4).Put(31, 5).Put(2, 5);
    PutNoTools(writer);
    Parsed parsed = Parse(writer);
    ExpectFailure(parsed, SyntaxFault::SectionsMismatch);
  }
}

// Catches max_sfb 0 reading section data anyway: nothing is read up to the pulse bit.
TEST(IcsSyntax, MaxSfbZeroReadsNoSectionsOrScalefactors) {
  BitWriter writer = LongStart(0);
  writer.Put(1, 1).Put(0, 2).Put(0, 6).Put(0, 5).Put(3, 4);  // pulse: one pulse of 3 at line 0
  writer.Put(0, 1).Put(0, 1);
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  EXPECT_EQ(parsed.bitsRead, writer.BitCount());
  EXPECT_EQ(parsed.channel->spectrum[0], -3);
  for (int b = 0; b < kMaxBands; ++b) EXPECT_EQ(parsed.channel->codebook[0][b], 0);
}

// Catches max_sfb beyond the layout being used to index the band tables, and a layout
// that does not follow the sampling index: 49 bands at 44.1 kHz long and 14 short are
// accepted, one more fails; 41 long bands fail at 8 kHz (it has 40).
TEST(IcsSyntax, MaxSfbAboveTheBandCountFails) {
  struct Case {
    bool isShort;
    int samplingIndex, maxSfb;
    bool ok;
  };
  for (const Case c : {Case{false, 4, 49, true}, Case{false, 4, 50, false}, Case{true, 4, 14, true},
                       Case{true, 4, 15, false}, Case{false, 11, 41, false}}) {
    BitWriter writer;
    writer.Put(100, 8);
    c.isShort ? PutShortInfo(writer, c.maxSfb, 0x7F) : PutLongInfo(writer, c.maxSfb);
    PutSections(writer, c.isShort, {{0, c.maxSfb}});
    PutNoTools(writer);
    SyntaxState state;
    state.samplingIndex = c.samplingIndex;
    Parsed parsed = Parse(writer, state);
    if (c.ok) {
      EXPECT_TRUE(parsed.status) << c.maxSfb;
    } else {
      ExpectFailure(parsed, SyntaxFault::MaxSfbTooLarge);
    }
  }
}

// Catches a reserved codebook being decoded as if it had a table.
TEST(IcsSyntax, ReservedCodebookFails) {
  BitWriter writer = LongStart(1);
  PutSections(writer, false, {{12, 1}});
  writer.ScalefactorCode(0);
  PutNoTools(writer);
  Parsed parsed = Parse(writer);
  ExpectFailure(parsed, SyntaxFault::ReservedCodebook);
}

// Catches scalefactors that run outside 0 .. 255 being accepted (they would index past
// the gain tables); 255 itself is fine.
TEST(IcsSyntax, ScalefactorRangeIsChecked) {
  for (const int last : {0, 1}) {
    BitWriter writer = LongStart(2, 250);
    PutSections(writer, false, {{1, 2}});
    writer.ScalefactorCode(5).ScalefactorCode(last);
    PutNoTools(writer);
    writer.SpectrumCode(1, 40).SpectrumCode(1, 40);
    Parsed parsed = Parse(writer);
    if (last == 0) {
      ASSERT_TRUE(parsed.status);
      EXPECT_EQ(parsed.channel->scalefactor[0][0], 255);
      EXPECT_EQ(parsed.channel->scalefactor[0][1], 255);
    } else {
      ExpectFailure(parsed, SyntaxFault::ScalefactorRange);
      EXPECT_NE(parsed.status.Error().text.find("(value 256)"), std::string::npos) << parsed.status.Error().text;
    }
  }
  BitWriter writer = LongStart(1, 3);
  PutSections(writer, false, {{1, 1}});
  writer.ScalefactorCode(-4);
  PutNoTools(writer);
  EXPECT_FALSE(Parse(writer).status);
}

// Catches the three kinds of values sharing one running total: scalefactors, noise
// energies (first one a 9-bit offset from global_gain - 90) and intensity positions
// (from 0) each keep their own.
TEST(IcsSyntax, NoiseEnergyAndIntensityPositionsRunSeparately) {
  BitWriter writer = LongStart(6, 120);
  PutSections(writer, false, {{1, 1}, {13, 2}, {15, 1}, {14, 1}, {1, 1}});
  writer.ScalefactorCode(-10);          // band 0: 110
  writer.Put(256 + 7, 9);               // band 1: 120 - 90 + 7 = 37
  writer.ScalefactorCode(-3);           // band 2: 34
  writer.ScalefactorCode(4);            // band 3: intensity 4
  writer.ScalefactorCode(-6);           // band 4: intensity -2
  writer.ScalefactorCode(2);            // band 5: 112
  PutNoTools(writer);
  writer.SpectrumCode(1, 40);           // band 0 (4 lines)
  writer.SpectrumCode(1, 40);           // band 5
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  const auto& row = parsed.channel->scalefactor[0];
  EXPECT_EQ(row[0], 110);
  EXPECT_EQ(row[1], 37);
  EXPECT_EQ(row[2], 34);
  EXPECT_EQ(row[3], 4);
  EXPECT_EQ(row[4], -2);
  EXPECT_EQ(row[5], 112);
  EXPECT_EQ(parsed.bitsRead, writer.BitCount());
}

// Catches noise energies that the noise tool cannot turn into a finite gain.
TEST(IcsSyntax, NoiseEnergyOutOfRangeFails) {
  BitWriter writer = LongStart(8, 255);
  PutSections(writer, false, {{13, 8}});
  writer.Put(511, 9);                                   // 255 - 90 + 255 = 420
  for (int i = 0; i < 7; ++i) writer.ScalefactorCode(60);  // +60 each: passes 511
  PutNoTools(writer);
  Parsed parsed = Parse(writer);
  ExpectFailure(parsed, SyntaxFault::NoiseOrIntensityRange);
}

// Catches wrong grouping and rows not copied to every window of a group: bits 1 0 0 1 1
// 0 1 give the groups 2, 1, 3, 2.
TEST(IcsSyntax, ShortWindowGroupsAndPerWindowRows) {
  BitWriter writer;
  writer.Put(100, 8);
  PutShortInfo(writer, 1, 0b1001101);
  for (int g = 0; g < 4; ++g) PutSections(writer, true, {{g == 2 ? 1 : 0, 1}});
  writer.ScalefactorCode(3);
  PutNoTools(writer);
  for (int w = 0; w < 3; ++w) writer.SpectrumCode(1, 40);
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  const IcsInfo& info = parsed.channel->info;
  ASSERT_EQ(info.numWindowGroups, 4);
  EXPECT_EQ(info.windowGroupLength[0], 2);
  EXPECT_EQ(info.windowGroupLength[1], 1);
  EXPECT_EQ(info.windowGroupLength[2], 3);
  EXPECT_EQ(info.windowGroupLength[3], 2);
  EXPECT_EQ(info.groupEnd[2], 6);
  EXPECT_EQ(info.windowGroup[5], 2);
  for (int w = 0; w < 8; ++w) {
    const bool inGroup2 = w >= 3 && w < 6;
    EXPECT_EQ(parsed.channel->codebook[w][0], inGroup2 ? 1 : 0) << w;
    EXPECT_EQ(parsed.channel->scalefactor[w][0], inGroup2 ? 103 : 0) << w;
  }
  EXPECT_EQ(parsed.channel->windowLength, 128);
  EXPECT_EQ(parsed.channel->numSwb, 14);
  EXPECT_EQ(parsed.bitsRead, writer.BitCount());
}

// Catches pulse data in a short window being read (it is not defined there): the error
// flag is raised and the next bit is already tns_data_present.
TEST(IcsSyntax, PulseDataInShortWindowRaisesTheErrorFlag) {
  BitWriter writer;
  writer.Put(100, 8);
  PutShortInfo(writer, 0, 0);
  writer.Put(1, 1).Put(0, 1).Put(0, 1);
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  EXPECT_TRUE(parsed.errorFlag);
  EXPECT_FALSE(parsed.channel->pulse.present);
  EXPECT_EQ(parsed.bitsRead, writer.BitCount());
}

// Catches gain control data being parsed or ignored silently: the flag is raised.
TEST(IcsSyntax, GainControlRaisesTheErrorFlag) {
  BitWriter writer = LongStart(0);
  writer.Put(0, 1).Put(0, 1).Put(1, 1);
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  EXPECT_TRUE(parsed.errorFlag);
  EXPECT_TRUE(parsed.channel->gainControlDataPresent);
}

// Catches TNS field widths, sign extension, coefficient compression and the band range
// of successive filters (top = previous bottom, bottom not below 0).
TEST(IcsSyntax, TnsDataLongAndShort) {
  {
    BitWriter writer = LongStart(0);
    writer.Put(0, 1).Put(1, 1);                       // no pulses, TNS
    writer.Put(2, 2).Put(1, 1);                       // two filters, coef_res 1
    writer.Put(20, 6).Put(3, 5).Put(1, 1).Put(0, 1);  // 4-bit coefficients
    writer.Put(0x7, 4).Put(0x8, 4).Put(0xF, 4);       // 7, -8, -1
    writer.Put(40, 6).Put(2, 5).Put(0, 1).Put(1, 1);  // compressed: 3-bit
    writer.Put(0x3, 3).Put(0x4, 3);                   // 3, -4
    writer.Put(0, 1);                                 // no gain control
    Parsed parsed = Parse(writer);
    ASSERT_TRUE(parsed.status);
    EXPECT_EQ(parsed.bitsRead, writer.BitCount());
    const TnsWindow& tns = parsed.channel->tns[0];
    ASSERT_EQ(tns.nFilt, 2);
    EXPECT_EQ(tns.coefRes, 1);
    EXPECT_EQ(tns.filters[0].topBand, 49);
    EXPECT_EQ(tns.filters[0].bottomBand, 29);
    EXPECT_EQ(tns.filters[0].direction, 1);
    EXPECT_EQ(tns.filters[0].coef[0], 7);
    EXPECT_EQ(tns.filters[0].coef[1], -8);
    EXPECT_EQ(tns.filters[0].coef[2], -1);
    EXPECT_EQ(tns.filters[1].topBand, 29);
    EXPECT_EQ(tns.filters[1].bottomBand, 0);
    EXPECT_EQ(tns.filters[1].coefCompress, 1);
    EXPECT_EQ(tns.filters[1].coef[0], 3);
    EXPECT_EQ(tns.filters[1].coef[1], -4);
  }
  {
    BitWriter writer;
    writer.Put(100, 8);
    PutShortInfo(writer, 0, 0);
    writer.Put(0, 1).Put(1, 1);
    for (int w = 0; w < 8; ++w) {
      if (w == 3) {
        writer.Put(1, 1).Put(0, 1).Put(5, 4).Put(7, 3).Put(0, 1).Put(0, 1);
        for (int k = 0; k < 7; ++k) writer.Put(static_cast<std::uint32_t>(k), 3);
      } else {
        writer.Put(0, 1);
      }
    }
    writer.Put(0, 1);
    Parsed parsed = Parse(writer);
    ASSERT_TRUE(parsed.status);
    EXPECT_EQ(parsed.bitsRead, writer.BitCount());
    const TnsWindow& tns = parsed.channel->tns[3];
    ASSERT_EQ(tns.nFilt, 1);
    EXPECT_EQ(tns.filters[0].order, 7);
    EXPECT_EQ(tns.filters[0].topBand, 14);
    EXPECT_EQ(tns.filters[0].bottomBand, 9);
    EXPECT_EQ(tns.filters[0].coef[6], -2);
    EXPECT_EQ(parsed.channel->tns[2].nFilt, 0);
  }
}

// Catches prediction data read in the described single-bit form instead of the
// standard's: predictor_data_present, ltp_data_present, lag, coefficient, and one
// long_used flag per band below min(max_sfb, 40).
TEST(IcsSyntax, LongTermPredictionData) {
  BitWriter writer;
  writer.Put(100, 8);
  writer.Put(0, 1).Put(0, 2).Put(1, 1).Put(45, 6);  // long, KBD, max_sfb 45
  writer.Put(1, 1).Put(1, 1);                       // predictor_data_present, ltp_data_present
  writer.Put(1234, 11).Put(5, 3);
  for (int b = 0; b < 40; ++b) writer.Bit(b % 3 == 0);
  PutSections(writer, false, {{0, 45}});
  PutNoTools(writer);
  Parsed parsed = Parse(writer);
  ASSERT_TRUE(parsed.status);
  EXPECT_EQ(parsed.bitsRead, writer.BitCount());
  const LtpData& ltp = parsed.channel->ltp;
  EXPECT_TRUE(ltp.present);
  EXPECT_EQ(ltp.lag, 1234);
  EXPECT_EQ(ltp.coefIndex, 5);
  EXPECT_EQ(ltp.longUsed[0], 1);
  EXPECT_EQ(ltp.longUsed[1], 0);
  EXPECT_EQ(ltp.longUsed[39], 1);
  EXPECT_EQ(ltp.longUsed[42], 0);
  EXPECT_EQ(parsed.channel->info.windowShape, 1);

  // predictor_data_present with ltp_data_present 0: two bits, no data.
  BitWriter empty;
  empty.Put(100, 8).Put(0, 1).Put(0, 2).Put(0, 1).Put(0, 6).Put(1, 1).Put(0, 1);
  PutNoTools(empty);
  Parsed none = Parse(empty);
  ASSERT_TRUE(none.status);
  EXPECT_FALSE(none.channel->ltp.present);
  EXPECT_EQ(none.bitsRead, empty.BitCount());
}

// Catches Main-profile prediction being misread as long-term prediction.
TEST(IcsSyntax, MainProfilePredictionFails) {
  BitWriter writer;
  writer.Put(100, 8).Put(0, 1).Put(0, 2).Put(0, 1).Put(0, 6).Put(1, 1).Put(0, 5);
  SyntaxState state;
  state.objectType = 1;
  Parsed parsed = Parse(writer, state);
  ExpectFailure(parsed, SyntaxFault::MainPrediction);
}

}  // namespace
}  // namespace zbaac
