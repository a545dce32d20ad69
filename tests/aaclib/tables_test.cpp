// The code's tables equal the TSV copies of the standard's tables kept with the tests.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "aaclib/aac_tables_bands.h"
#include "aaclib/aac_tables_huffman.h"
#include "aaclib/band_layout.h"
#include "aaclib/huffman_codebooks.h"
#include "tests/aaclib/helpers/bit_writer.h"

namespace zbaac {
namespace {

std::vector<std::vector<std::string>> ReadTsv(const std::string& name) {
  std::ifstream file(std::string(ZIMBAR_SOURCE_DIR) + "/tests/aaclib/data/" + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(file, line);  // header
  while (std::getline(file, line)) {
    std::vector<std::string> cells;
    std::stringstream stream(line);
    std::string cell;
    while (std::getline(stream, cell, '\t')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

int Number(const std::string& text) { return static_cast<int>(std::stol(text, nullptr, 0)); }

using test::SpectrumTable;

// Catches a codeword, length or index that differs from the standard's tables.
TEST(Tables, HuffmanCodebooksEqualTheData) {
  const auto spectral = ReadTsv("huffman_spectral.tsv");
  ASSERT_EQ(spectral.size(), 1241u);
  std::map<int, int> rowsPerBook;
  for (const auto& row : spectral) {
    const int book = Number(row[0]);
    const int index = Number(row[1]);
    const auto table = SpectrumTable(book);
    ASSERT_LT(index, static_cast<int>(table.size()));
    EXPECT_EQ(table[index].index, index);
    EXPECT_EQ(table[index].length, Number(row[2])) << "codebook " << book << " index " << index;
    EXPECT_EQ(table[index].codeword, Number(row[3])) << "codebook " << book << " index " << index;
    ++rowsPerBook[book];
  }
  for (int book = 1; book <= 11; ++book) {
    EXPECT_EQ(static_cast<int>(SpectrumTable(book).size()), rowsPerBook[book]);
    EXPECT_EQ(SpectrumCodebookFor(book).entryCount, rowsPerBook[book]);
  }
  const auto scalefactor = ReadTsv("huffman_scalefactor.tsv");
  ASSERT_EQ(scalefactor.size(), kScalefactorCodes.size());
  for (const auto& row : scalefactor) {
    const auto& entry = kScalefactorCodes[static_cast<std::size_t>(Number(row[0]))];
    EXPECT_EQ(entry.length, Number(row[1]));
    EXPECT_EQ(entry.codeword, Number(row[2]));
  }
}

// Catches a search table that lost entries or is out of order: the sorted tables hold
// the same entries, by ascending length and codeword.
TEST(Tables, SortedCodebooksArePermutationsInSearchOrder) {
  for (int book = 1; book <= 12; ++book) {
    const auto sorted = book <= 11 ? SpectrumCodebookFor(book).entries : ScalefactorCodebook();
    const auto original = book <= 11 ? SpectrumTable(book) : std::span<const CodeEntry>(kScalefactorCodes);
    ASSERT_EQ(sorted.size(), original.size());
    std::vector<int> seen(original.size(), 0);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      const CodeEntry& entry = sorted[i];
      ++seen[static_cast<std::size_t>(entry.index)];
      EXPECT_EQ(entry.codeword, original[static_cast<std::size_t>(entry.index)].codeword);
      if (i > 0) {
        EXPECT_TRUE(CodeEntryBefore(sorted[i - 1], entry)) << "book " << book << " entry " << i;
      }
    }
    for (int count : seen) EXPECT_EQ(count, 1);
  }
}

// Catches a band table, band count or TNS limit that differs from the standard's.
TEST(Tables, BandTablesAndTnsLimitsEqualTheData) {
  for (const bool isLong : {true, false}) {
    const auto rows = ReadTsv(isLong ? "swb_offsets_long.tsv" : "swb_offsets_short.tsv");
    std::map<int, std::vector<int>> starts;
    for (const auto& row : rows) starts[Number(row[0])].push_back(Number(row[2]));
    ASSERT_EQ(starts.size(), static_cast<std::size_t>(kSamplingIndexCount));
    for (int index = 0; index < kSamplingIndexCount; ++index) {
      const std::vector<int>& expected = starts[index];
      const BandLayout& layout = isLong ? LongLayout(index) : ShortLayout(index);
      const int count = isLong ? kNumSwbLong[index] : kNumSwbShort[index];
      ASSERT_EQ(count + 1, static_cast<int>(expected.size())) << "index " << index;
      EXPECT_EQ(layout.bandCount, count);
      EXPECT_EQ(layout.sectionBits, isLong ? 5 : 3);
      EXPECT_EQ(layout.windowCount, isLong ? 1 : 8);
      for (int b = 0; b <= count; ++b) {
        const int table = isLong ? kSwbOffsetLong[index][b] : kSwbOffsetShort[index][b];
        EXPECT_EQ(table, expected[b]) << "index " << index << " band " << b;
        EXPECT_EQ(layout.swbOffset[b], expected[b]);
      }
    }
  }
  const auto tns = ReadTsv("tns_max_bands.tsv");
  ASSERT_EQ(tns.size(), static_cast<std::size_t>(kSamplingIndexCount));
  for (const auto& row : tns) {
    const int index = Number(row[0]);
    EXPECT_EQ(kTnsMaxBandsLong[index], Number(row[1]));
    EXPECT_EQ(kTnsMaxBandsShort[index], Number(row[2]));
  }
}

// Catches the wrong layout for a window sequence: only EIGHT_SHORT uses the short one.
TEST(Tables, WindowSequencesMapToTheirLayouts) {
  for (auto seq : {WindowSequence::OnlyLong, WindowSequence::LongStart, WindowSequence::LongStop}) {
    EXPECT_TRUE(LayoutFor(4, seq).isLong);
  }
  EXPECT_FALSE(LayoutFor(4, WindowSequence::EightShort).isLong);
}

}  // namespace
}  // namespace zbaac
