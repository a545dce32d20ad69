// Tests of the options window's list entries: counts, ends and the entries the settings
// indexes point at.
#include "maker/settings/option_lists.h"

#include <gtest/gtest.h>

#include "maker/settings/settings_table.h"

namespace {

struct ListCase {
  const char* name;
  std::vector<std::string> (*entries)();
  size_t count;
  const char* first;
  const char* last;
};

class OptionLists : public ::testing::TestWithParam<ListCase> {};

}  // namespace

// Catches a list with an entry missing or doubled (every later stored index would then
// show and mean another entry) or a misspelt first or last entry.
TEST_P(OptionLists, HaveTheirCountAndEnds) {
  const ListCase& c = GetParam();
  const std::vector<std::string> entries = c.entries();
  ASSERT_EQ(entries.size(), c.count);
  EXPECT_EQ(entries.front(), c.first);
  EXPECT_EQ(entries.back(), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, OptionLists,
    ::testing::Values(ListCase{"sectors", SectorsPerReadEntries, 34, "8-Sector Read", "140-Sector Read"},
                      ListCase{"overlap", OverlapEntries, 8, "10% Overlap", "80% Overlap"},
                      ListCase{"correction", SyncCorrectionRetryEntries, 11, "Do not retry Sync Correction",
                               "Retry Sync Correction 10 Times"},
                      ListCase{"error", SyncErrorRetryEntries, 6, "Do not retry Sync Error", "Retry Sync Error 5 Times"},
                      ListCase{"modes", ReadModeEntries, 5, "Read Mode - Standard", "Read Mode - SCSI Mode D8"},
                      ListCase{"speeds", CdSpeedEntries, 101, "1X", "Maximum"},
                      ListCase{"percent", NormalizePercentEntries, 100, "1%", "100%"},
                      ListCase{"min", NormalizeMinEntries, 100, "Only if signal is < 1%", "Only if signal is < 100%"},
                      ListCase{"max", NormalizeMaxEntries, 100, "or > 1%", "or > 100%"},
                      ListCase{"channels", ChannelEntries, 3, "Mono", "Joint-Stereo"},
                      ListCase{"mpeg1", Mpeg1BitRateEntries, 24, "32 Kbps", "Quality-1 Variable Bit Rate"},
                      ListCase{"mpeg2", Mpeg2BitRateEntries, 24, "8 Kbps", "Quality-1 Variable Bit Rate"},
                      ListCase{"aac", AacBitRateEntries, 9, "64 Kbps", "256 Kbps"},
                      ListCase{"flac", FlacLevelEntries, 9, "Level 0 (fastest)", "Level 8 (smallest)"},
                      ListCase{"vorbis", VorbisQualityEntries, 12, "Quality -1", "Quality 10"},
                      ListCase{"opus", OpusBitRateEntries, 7, "64 Kbps", "320 Kbps"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches entries that drift from the indexes the settings and the reading code use: the
// default rates, the sector list, and the retry wording.
TEST(OptionLists, EntriesAtTheIndexesTheSettingsUse) {
  EXPECT_EQ(SectorsPerReadEntries()[4], "24-Sector Read");  // ReadSector's default
  EXPECT_EQ(SectorsPerReadEntries()[23], "100-Sector Read");
  EXPECT_EQ(SectorsPerReadEntries()[24], "104-Sector Read");
  EXPECT_EQ(Mpeg1BitRateEntries()[8], "128 Kbps");
  EXPECT_EQ(Mpeg1BitRateEntries()[14], "Quality-10 Variable Bit Rate");
  EXPECT_EQ(Mpeg2BitRateEntries()[8], "80 Kbps");
  EXPECT_EQ(AacBitRateEntries()[4], "128 Kbps");
  EXPECT_EQ(SyncCorrectionRetryEntries()[1], "Retry Sync Correction Once");
  EXPECT_EQ(SyncCorrectionRetryEntries()[2], "Retry Sync Correction Twice");
  EXPECT_EQ(SyncErrorRetryEntries()[3], "Retry Sync Error 3 Times");
  EXPECT_EQ(CdSpeedEntries()[99], "100X");
  EXPECT_EQ(FlacLevelEntries()[5], "Level 5");  // FlacLevel's default
  EXPECT_EQ(VorbisQualityEntries()[5 - kVorbisQualityFirst], "Quality 5");
  EXPECT_EQ(OpusBitRateEntries()[3], OpusBitRateEntry(160));
}
