// Codeword search, tuples, sign bits, escapes, pulses and the short-window order.
#include "aaclib/huffman_decoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

#include "aaclib/aac_dequantize.h"
#include "aaclib/band_layout.h"
#include "aaclib/bit_reader.h"
#include "aaclib/ics_syntax.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;
using test::ReaderFor;

// A long channel at 44.1 kHz whose bands below `maxSfb` all use `codebook`.
ChannelStream LongChannel(int maxSfb, int codebook) {
  ChannelStream channel = test::LaidOutChannel();
  channel.info.maxSfb = maxSfb;
  for (int b = 0; b < maxSfb; ++b) channel.codebook[0][b] = static_cast<std::uint8_t>(codebook);
  return channel;
}

// The sorted entries of spectrum codebook 1 .. 11, or of the scalefactor codebook for 12.
std::span<const CodeEntry> SortedEntriesOf(int book) {
  return book <= 11 ? SpectrumCodebookFor(book).entries : ScalefactorCodebook();
}

// The two forms of the search: the plain walk over the sorted entries, and the one
// specialised per codebook at compile time.
enum class SearchForm { Plain, PerCodebook };

int Search(SearchForm form, BitReader& reader, int book) {
  switch (form) {
    case SearchForm::Plain:
      return DecodeSymbol(reader, SortedEntriesOf(book));
    case SearchForm::PerCodebook:
      return DecodeCodebookSymbol(reader, book <= 11 ? book : 0);
  }
  return -2;
}

// Catches a search that stops too early or reads the wrong number of extra bits: every
// codeword of every codebook decodes to its own index and consumes exactly its length,
// in each form of the search.
TEST(Huffman, EveryCodewordDecodesToItsIndex) {
  for (const SearchForm form : {SearchForm::Plain, SearchForm::PerCodebook}) {
    for (int book = 1; book <= 12; ++book) {
      const std::span<const CodeEntry> entries = SortedEntriesOf(book);
      BitWriter writer;
      for (const CodeEntry& entry : entries) writer.Put(static_cast<std::uint32_t>(entry.codeword), entry.length);
      BitReader reader = ReaderFor(writer);
      for (const CodeEntry& entry : entries) {
        const std::uint64_t before = reader.BitPosition();
        ASSERT_EQ(Search(form, reader, book), entry.index) << "book " << book << " form " << static_cast<int>(form);
        ASSERT_EQ(reader.BitPosition() - before, static_cast<std::uint64_t>(entry.length)) << "book " << book;
      }
    }
  }
}

// Catches a per-codebook table whose length runs or codeword copies do not describe its
// entries, and a search that reads differently from the plain walk: on random bits
// (inputs of every length up to a few words, so that reads run past the end, and codes
// that match nothing) both forms give the same symbols, the same failures, the same
// positions and the same end-of-input state after every symbol.
TEST(Huffman, FasterSearchesEqualThePlainWalk) {
  std::mt19937 random(7);
  for (int book = 1; book <= 12; ++book) {
    for (int trial = 0; trial < 300; ++trial) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(trial % 13));
      // Mostly ones in some inputs: the long codewords start with runs of 1 bits.
      const bool ones = trial % 3 == 0;
      for (auto& byte : bytes) byte = static_cast<std::uint8_t>(ones ? random() | random() | random() : random());
      BitReader plain(AacInput::FromBytes(bytes));
      BitReader faster(AacInput::FromBytes(bytes));
      for (int symbol = 0; symbol < 12; ++symbol) {
        const int expected = Search(SearchForm::Plain, plain, book);
        ASSERT_EQ(Search(SearchForm::PerCodebook, faster, book), expected) << "book " << book << " trial " << trial;
        ASSERT_EQ(faster.BitPosition(), plain.BitPosition()) << "book " << book << " trial " << trial;
        ASSERT_EQ(faster.PastEnd(), plain.PastEnd());
        if (expected < 0) break;
      }
    }
  }
}

// Catches the one-bit codewords being missed: a single 0 is the all-zero quad of
// codebook 1 and "no change" of the scalefactor codebook.
TEST(Huffman, SingleBitCodewords) {
  BitWriter writer;
  writer.Put(0, 1).Put(0, 1);
  BitReader reader = ReaderFor(writer);
  const SpectrumCodebook& book = SpectrumCodebookFor(1);
  const int index = DecodeSymbol(reader, book.entries);
  EXPECT_EQ(index, 40);
  EXPECT_EQ(UnpackTuple(book, index), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(DecodeScalefactorDifference(reader), 0);
  EXPECT_EQ(reader.BitPosition(), 2u);
}

// Catches a walk past the end of a table: bits that match no codeword give -1 once the
// last entry is passed.
TEST(Huffman, NoMatchEndsAtTheTableEnd) {
  const std::array<CodeEntry, 3> incomplete = {{{0, 1, 0}, {1, 2, 2}, {2, 3, 6}}};  // 0, 10, 110
  BitWriter writer;
  writer.Put(0b111, 3).Put(0, 13);
  BitReader reader = ReaderFor(writer);
  EXPECT_EQ(DecodeSymbol(reader, incomplete), -1);
  EXPECT_EQ(reader.BitPosition(), 3u);
}

// Catches wrong digit order or offsets in tuple unpacking for each kind of codebook.
TEST(Huffman, TuplesUnpackByModulusAndOffset) {
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(1), 0), (std::array<int, 4>{-1, -1, -1, -1}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(2), 27 * 2 + 9 * 0 + 3 * 1 + 2), (std::array<int, 4>{1, -1, 0, 1}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(3), 27 * 2 + 9 * 1 + 0 + 2), (std::array<int, 4>{2, 1, 0, 2}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(5), 9 * 0 + 8), (std::array<int, 4>{-4, 4, 0, 0}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(8), 8 * 7 + 3), (std::array<int, 4>{7, 3, 0, 0}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(10), 13 * 12 + 5), (std::array<int, 4>{12, 5, 0, 0}));
  EXPECT_EQ(UnpackTuple(SpectrumCodebookFor(11), 17 * 16 + 16), (std::array<int, 4>{16, 16, 0, 0}));
}

// Catches a tuple table unpacked wrongly at compile time (digit order, offset, the count
// of sign bits): every index of every spectrum codebook, sent with its sign bits (all
// positive) and, in codebook 11, the shortest escape for a 16, decodes to the values the
// index stands for and consumes exactly its bits.
TEST(Huffman, EveryTupleDecodesToItsValues) {
  for (int book = 1; book <= 11; ++book) {
    const SpectrumCodebook& codebook = SpectrumCodebookFor(book);
    for (int index = 0; index < codebook.entryCount; ++index) {
      const std::array<int, 4> values = UnpackTuple(codebook, index);
      ChannelStream channel = LongChannel(1, book);  // band 0: 4 lines
      BitWriter writer;
      for (int tuple = 0; tuple < 4 / codebook.dimension; ++tuple) {
        writer.SpectrumCode(book, index);
        for (int k = 0; k < codebook.dimension && !codebook.isSigned; ++k) {
          if (values[k] != 0) writer.Bit(false);
        }
        for (int k = 0; k < codebook.dimension && book == 11; ++k) {
          if (values[k] == 16) writer.Put(0, 1).Put(0, 4);
        }
      }
      BitReader reader = ReaderFor(writer);
      ASSERT_TRUE(DecodeSpectralData(reader, channel)) << "book " << book << " index " << index;
      for (int line = 0; line < 4; ++line) {
        ASSERT_EQ(channel.spectrum[line], values[line % codebook.dimension]) << "book " << book << " index " << index;
      }
      ASSERT_EQ(reader.BitPosition(), writer.BitCount()) << "book " << book << " index " << index;
    }
  }
}

// Random spectral data for every band below maxSfb of `channel` (codebooks and window
// groups as set), in the order the stream sends it, with random sign bits and, for
// codebook 11, escapes of every size: the bits go to `writer`, the values to `expected`.
void WriteRandomSpectrum(const ChannelStream& channel, std::mt19937& random, BitWriter& writer,
                         std::vector<int>& expected) {
  expected.assign(kFrameLength, 0);
  int window = 0;
  for (int g = 0; g < channel.info.numWindowGroups; ++g) {
    for (int band = 0; band < channel.info.maxSfb; ++band) {
      const int book = channel.codebook[window][band];
      const SpectrumCodebook& codebook = SpectrumCodebookFor(book);
      for (int w = window; w < window + channel.info.windowGroupLength[g]; ++w) {
        const int base = w * channel.windowLength;
        for (int line = channel.swbOffset[band]; line < channel.swbOffset[band + 1]; line += codebook.dimension) {
          const int index = static_cast<int>(random() % static_cast<unsigned>(codebook.entryCount));
          std::array<int, 4> values = UnpackTuple(codebook, index);
          writer.SpectrumCode(book, index);
          for (int k = 0; k < codebook.dimension && !codebook.isSigned; ++k) {
            if (values[k] == 0) continue;
            const bool negative = random() % 2 != 0;
            writer.Bit(negative);
            if (negative) values[k] = -values[k];
          }
          for (int k = 0; k < codebook.dimension && book == 11; ++k) {
            if (values[k] != 16 && values[k] != -16) continue;
            const int exponent = 4 + static_cast<int>(random() % 9);  // magnitudes 16 .. 8191
            const int w = static_cast<int>(random() % (1u << exponent));
            for (int one = 4; one < exponent; ++one) writer.Bit(true);
            writer.Bit(false).Put(static_cast<std::uint32_t>(w), exponent);
            values[k] = values[k] < 0 ? -((1 << exponent) + w) : (1 << exponent) + w;
          }
          for (int k = 0; k < codebook.dimension; ++k) expected[static_cast<std::size_t>(base + line + k)] = values[k];
        }
      }
    }
    window += channel.info.windowGroupLength[g];
  }
}

// Checks the decoded values against `expected`, and each line's coefficient against its
// value dequantized and times the gain of its band's scalefactor, to the bit.
void ExpectValuesAndCoefficients(const ChannelStream& channel, const std::vector<int>& expected, int book) {
  const PowerTables& powers = Powers();
  for (int w = 0; w < channel.info.numWindows; ++w) {
    for (int band = 0; band < channel.info.maxSfb; ++band) {
      const float gain = powers.ScalefactorGain(channel.scalefactor[w][band]);
      for (int line = channel.swbOffset[band]; line < channel.swbOffset[band + 1]; ++line) {
        const int at = w * channel.windowLength + line;
        ASSERT_EQ(channel.spectrum[at], expected[static_cast<std::size_t>(at)]) << "book " << book << " line " << at;
        const float coef = powers.Dequantize(expected[static_cast<std::size_t>(at)]) * gain;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(channel.coefs[at]), std::bit_cast<std::uint32_t>(coef))
            << "book " << book << " line " << at;
      }
    }
  }
}

// Catches a coefficient with the wrong sign, power or gain: every codebook over all the
// bands of a long window in one section, and over grouped and single short windows, with
// random tuples, signs, escapes and scalefactors (0, which silences a band, and values
// the gain table does not hold among them); the coefficients must be the values'
// dequantized form times their own band's gain, and every bit must be taken.
TEST(Huffman, CoefficientsAreTheValuesTimesTheirBandsGain) {
  std::mt19937 random(11);
  for (int book = 1; book <= 11; ++book) {
    ChannelStream longChannel = LongChannel(49, book);
    ChannelStream shortChannel = test::LaidOutChannel(WindowSequence::EightShort);
    shortChannel.info.maxSfb = 14;
    shortChannel.info.numWindowGroups = 3;
    shortChannel.info.windowGroupLength = {1, 3, 4};
    for (int w = 0; w < 8; ++w) {
      for (int b = 0; b < shortChannel.info.maxSfb; ++b) shortChannel.codebook[w][b] = static_cast<std::uint8_t>(book);
    }
    for (ChannelStream* channel : {&longChannel, &shortChannel}) {
      for (int w = 0, g = 0; g < channel->info.numWindowGroups; w += channel->info.windowGroupLength[g++]) {
        for (int b = 0; b < channel->info.maxSfb; ++b) {
          const int scalefactor = static_cast<int>(random() % 256);
          for (int k = w; k < w + channel->info.windowGroupLength[g]; ++k) {
            channel->scalefactor[k][b] = static_cast<std::int16_t>(scalefactor);
          }
        }
      }
      BitWriter writer;
      std::vector<int> expected;
      WriteRandomSpectrum(*channel, random, writer, expected);
      BitReader reader = ReaderFor(writer);
      ASSERT_TRUE(DecodeSpectralData(reader, *channel)) << "book " << book;
      ExpectValuesAndCoefficients(*channel, expected, book);
      ASSERT_EQ(reader.BitPosition(), writer.BitCount()) << "book " << book;
    }
  }
}

// Catches a run of zero tuples (in the codebooks whose all-zero tuple is the single bit 0)
// that leaves the reader short of bits for the codeword after it: runs of every length
// from 0 to 40, each followed by the codebook's longest codeword and its sign bits, with
// the spectral data starting at every bit position of the reader's 64-bit cache.
TEST(Huffman, ZeroRunsBeforeLongCodewordsAtEveryAlignment) {
  for (const int book : {1, 3, 5, 7, 9}) {
    const SpectrumCodebook& codebook = SpectrumCodebookFor(book);
    const CodeEntry& longest = codebook.entries.back();
    const std::array<int, 4> values = UnpackTuple(codebook, longest.index);
    ChannelStream layout = LongChannel(49, book);  // all 1024 lines
    const int lines = layout.swbOffset[49];
    for (int lead = 0; lead < 64; ++lead) {
      ChannelStream channel = layout;
      BitWriter writer;
      writer.Put(0, lead % 32).Put(0, lead - lead % 32);
      std::vector<int> expected(static_cast<std::size_t>(lines), 0);
      int line = 0;
      for (int run = 0; line < lines; run = (run + 1) % 41) {
        for (int zero = 0; zero < run && line < lines; ++zero, line += codebook.dimension) {
          writer.SpectrumCode(book, codebook.entries[0].index);
        }
        if (line >= lines) break;
        writer.SpectrumCode(book, longest.index);
        for (int k = 0; k < codebook.dimension; ++k) {
          // Unsigned codebooks: every sign bit 1, so the values come out negative.
          const bool negative = !codebook.isSigned && values[k] != 0;
          if (negative) writer.Bit(true);
          expected[static_cast<std::size_t>(line + k)] = negative ? -values[k] : values[k];
        }
        line += codebook.dimension;
      }
      BitReader reader = ReaderFor(writer);
      reader.ReadBits(lead % 32);
      reader.ReadBits(lead - lead % 32);
      ASSERT_TRUE(DecodeSpectralData(reader, channel)) << "book " << book << " lead " << lead;
      for (int i = 0; i < lines; ++i) {
        ASSERT_EQ(channel.spectrum[i], expected[static_cast<std::size_t>(i)])
            << "book " << book << " lead " << lead << " line " << i;
      }
      ASSERT_EQ(reader.BitPosition(), writer.BitCount()) << "book " << book << " lead " << lead;
    }
  }
}

// Catches sign bits read for zero values: the unsigned pair (0, 3) of codebook 7 takes
// exactly one sign bit, and (3, 0) too; the next field must start right after it.
TEST(Huffman, UnsignedTupleReadsOneSignBitPerNonZeroValue) {
  ChannelStream channel = LongChannel(1, 7);  // band 0: 4 lines, two pairs
  BitWriter writer;
  writer.SpectrumCode(7, 8 * 0 + 3).Bit(true);   // (0, -3)
  writer.SpectrumCode(7, 8 * 3 + 0).Bit(false);  // (3, 0)
  writer.Put(0x2A, 6);                           // marker after the spectral data
  BitReader reader = ReaderFor(writer);
  ASSERT_TRUE(DecodeSpectralData(reader, channel));
  EXPECT_EQ(channel.spectrum[0], 0);
  EXPECT_EQ(channel.spectrum[1], -3);
  EXPECT_EQ(channel.spectrum[2], 3);
  EXPECT_EQ(channel.spectrum[3], 0);
  EXPECT_EQ(reader.ReadBits(6), 0x2Au);
}

// Catches escape arithmetic and ordering mistakes: prefix 0 + 0000 is 16, prefix 10 +
// 11111 is 2^5 + 31 = 63, the sign bits come before the escapes and are kept.
TEST(Huffman, EscapeMagnitudes16And63) {
  ChannelStream channel = LongChannel(1, 11);
  BitWriter writer;
  writer.SpectrumCode(11, 17 * 16 + 16).Bit(true).Bit(false);  // (-16, 16) before escapes
  writer.Put(0, 1).Put(0, 4);                                   // first: 16
  writer.Put(0b10, 2).Put(0b11111, 5);                          // second: 63
  writer.SpectrumCode(11, 17 * 16 + 1).Bit(false).Bit(true);    // (16, -1)
  writer.Put(0b1110, 4).Put(0, 7);                              // 2^7 + 0 = 128
  writer.Put(0x15, 5);
  BitReader reader = ReaderFor(writer);
  ASSERT_TRUE(DecodeSpectralData(reader, channel));
  EXPECT_EQ(channel.spectrum[0], -16);
  EXPECT_EQ(channel.spectrum[1], 63);
  EXPECT_EQ(channel.spectrum[2], 128);
  EXPECT_EQ(channel.spectrum[3], -1);
  EXPECT_EQ(reader.ReadBits(5), 0x15u);
}

// Catches an unbounded escape prefix: 8191 (prefix of eight 1 bits) is the largest
// magnitude; one more 1 bit fails the element.
TEST(Huffman, EscapeBeyond8191Fails) {
  {
    ChannelStream channel = LongChannel(1, 11);
    BitWriter writer;
    writer.SpectrumCode(11, 17 * 16 + 0).Bit(false).Put(0xFF, 8).Put(0, 1).Put(0xFFF, 12);
    writer.SpectrumCode(11, 0);
    BitReader reader = ReaderFor(writer);
    ASSERT_TRUE(DecodeSpectralData(reader, channel));
    EXPECT_EQ(channel.spectrum[0], 8191);
  }
  {
    ChannelStream channel = LongChannel(1, 11);
    BitWriter writer;
    writer.SpectrumCode(11, 17 * 16 + 0).Bit(false).Put(0x1FF, 9).Put(0, 20);
    BitReader reader = ReaderFor(writer);
    auto result = DecodeSpectralData(reader, channel);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.Error().Is(SyntaxFault::EscapeTooLong));
  }
}

// Catches pulses applied without regard to the sign of the value: a zero or negative
// value moves down by the amplitude, a positive one up; offsets accumulate from the
// start of pulse_start_sfb.
TEST(Huffman, PulsesGrowMagnitudesAndMakeZeroNegative) {
  ChannelStream channel = LongChannel(0, 0);
  channel.spectrum[40] = 5;    // band 10 starts at line 40 at 44.1 kHz
  channel.spectrum[43] = -2;
  channel.pulse = PulseData{true, 3, 10, {0, 3, 1, 0}, {2, 4, 7, 0}};
  ASSERT_TRUE(ApplyPulseData(channel));
  EXPECT_EQ(channel.spectrum[40], 7);
  EXPECT_EQ(channel.spectrum[43], -6);
  EXPECT_EQ(channel.spectrum[44], -7);  // was 0
}

// Catches pulses written past the frame: a start band or offsets beyond the 1024 lines
// fail the element instead.
TEST(Huffman, PulsesOutsideTheFrameFail) {
  ChannelStream channel = LongChannel(0, 0);
  channel.pulse = PulseData{true, 4, 49, {31, 31, 31, 31}, {1, 1, 1, 1}};  // from line 1024
  auto result = ApplyPulseData(channel);
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.Error().Is(SyntaxFault::PulseOutOfRange));
  channel.pulse.startSfb = 63;
  EXPECT_FALSE(ApplyPulseData(channel));
}

// Catches a wrong de-interleaving of grouped short windows: a band's values arrive window
// after window of the group and must land in each window's own 128 lines.
TEST(Huffman, ShortWindowGroupsAreDeinterleaved) {
  ChannelStream channel = test::LaidOutChannel(WindowSequence::EightShort);  // bands 0, 1: 4 lines
  channel.info.maxSfb = 2;
  channel.info.numWindowGroups = 2;
  channel.info.windowGroupLength = {2, 6};
  for (int w = 0; w < 8; ++w) {
    channel.codebook[w][0] = w < 2 ? 5 : 0;
    channel.codebook[w][1] = w < 2 ? 5 : 1;
  }
  BitWriter writer;
  // Group 0, band 0: windows 0 and 1, two pairs each; values y = window + 1, z = pair.
  for (int w = 0; w < 2; ++w) {
    for (int pair = 0; pair < 2; ++pair) writer.SpectrumCode(5, 9 * (w + 1 + 4) + (pair + 4));
  }
  // Group 0, band 1: all -1.
  for (int k = 0; k < 4; ++k) writer.SpectrumCode(5, 9 * 3 + 3);
  // Group 1, band 1 (codebook 1): six windows, one quad each of (1, 0, 0, -1).
  for (int w = 2; w < 8; ++w) writer.SpectrumCode(1, 27 * 2 + 9 * 1 + 3 * 1 + 0);
  BitReader reader = ReaderFor(writer);
  ASSERT_TRUE(DecodeSpectralData(reader, channel));
  EXPECT_EQ(channel.spectrum[0], 1);
  EXPECT_EQ(channel.spectrum[1], 0);
  EXPECT_EQ(channel.spectrum[2], 1);
  EXPECT_EQ(channel.spectrum[3], 1);
  EXPECT_EQ(channel.spectrum[128 + 0], 2);
  EXPECT_EQ(channel.spectrum[128 + 3], 1);
  EXPECT_EQ(channel.spectrum[4], -1);
  EXPECT_EQ(channel.spectrum[128 + 7], -1);
  for (int w = 2; w < 8; ++w) {
    EXPECT_EQ(channel.spectrum[w * 128 + 0], 0) << w;
    EXPECT_EQ(channel.spectrum[w * 128 + 4], 1) << w;
    EXPECT_EQ(channel.spectrum[w * 128 + 7], -1) << w;
  }
  EXPECT_EQ(reader.BitPosition(), writer.BitCount());
}

// Catches a write past the 1024 lines when a layout's band ends lie beyond the frame.
TEST(Huffman, SpectralDataPastTheFrameFails) {
  ChannelStream channel = LongChannel(1, 1);
  channel.swbOffset[0] = 1020;
  channel.swbOffset[1] = 1032;
  BitWriter writer;
  for (int i = 0; i < 4; ++i) writer.SpectrumCode(1, 40);
  BitReader reader = ReaderFor(writer);
  auto result = DecodeSpectralData(reader, channel);
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.Error().Is(SyntaxFault::SpectrumOverflow));
  EXPECT_EQ(channel.spectrum[1023], 0);
}

}  // namespace
}  // namespace zbaac
