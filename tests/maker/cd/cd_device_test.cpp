// The device operations, the drive list and the reader values derived from the settings.
#include "maker/cd/cd_device.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "cdaccess/cd_drive_list.h"
#include "maker/cd/cd_drive_menu.h"
#include "maker/settings/option_lists.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

class CdDeviceTest : public ::testing::Test {
 protected:
  // Gives the layer this image alone and returns its drive index.
  int Register() {
    cd_.SetDiscImages(image_.Images());
    return image_.DriveIndex();
  }
  CdLayer cd_;
  testcd::TempDir dir_;
  testcd::DiscImage image_{dir_.Path(), "album", {testcd::Silence(451), testcd::Noise(333, 1), testcd::Silence(77)}};
};

// Catches: images numbered differently under the two access methods or missing from a list.
TEST_F(CdDeviceTest, ImagesAnswerBothAccessMethodsAlike) {
  const int drive = Register();
  ASSERT_GE(drive, 0);
  ASSERT_EQ(cd_.Initialize(), 0);
  for (bool osInterface : {true, false}) {
    cd_.SelectApi(osInterface);
    uint8_t ha = 0, target = 0, lun = 0;
    std::string name;
    EXPECT_EQ(cd_.GetDriveName(drive, ha, target, lun, name), 0);
    EXPECT_EQ(name, "Image album.cue");
    EXPECT_EQ(ha, 255);
    EXPECT_EQ(lun, 255);
    EXPECT_EQ(cd_.GetDriveName(drive + 1, ha, target, lun, name), -1);

    TrackTable table;
    ASSERT_TRUE(RefreshTrackTable(cd_, drive, table));
    EXPECT_EQ(table.audio, 1);
    ASSERT_EQ(table.trackCount, 3);
    EXPECT_EQ(table.start[1], 0);
    EXPECT_EQ(table.start[2], 451);
    EXPECT_EQ(table.start[3], 784);
    EXPECT_EQ(table.start[4], 861);   // the lead-out
    EXPECT_EQ(table.length[2], 333);
    EXPECT_EQ(table.length[3], 77);
    EXPECT_EQ(cd_.SetSpeed(drive, CdSpeedKBps(3)), 0);
  }
}

// Catches: data tracks and pregaps of an image lost between its sheet and the track table
// (the flags of a read offset's search and of the cue sheet written after a rip), an
// INDEX 00 or a PREGAP placed anywhere but where its silence or audio begins, and the
// flags of a previous disc left in the table.
TEST_F(CdDeviceTest, TrackTableCarriesDataTracksAndPregaps) {
  testcd::WriteAudioFile(dir_.File("mixed.bin"), testcd::Noise(100, 3), testcd::AudioFileKind::RawLittleEndian);
  const std::pair<const char*, const char*> sheets[] = {
      // An enhanced CD: audio, then a data track in raw sectors; track 2 has an INDEX 00 of
      // 10 sectors, track 3 a generated PREGAP of 2 seconds before audio from the file.
      {"mixed.cue",
       "FILE \"mixed.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    INDEX 00 00:00:30\n    INDEX 01 00:00:40\n"
       "  TRACK 03 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:60\n"
       "  TRACK 04 MODE1/2352\n    INDEX 01 00:00:65\n"},
      // The same disc in the other sheet format.
      {"mixed.toc",
       "CD_ROM\nTRACK AUDIO\nFILE \"mixed.bin\" 0 00:00:30\n"
       "TRACK AUDIO\nFILE \"mixed.bin\" 00:00:30 00:00:30\nSTART 00:00:10\n"
       "TRACK AUDIO\nPREGAP 00:02:00\nFILE \"mixed.bin\" 00:00:60 00:00:05\n"
       "TRACK MODE1_RAW\nDATAFILE \"mixed.bin\" #152880\n"},
  };
  for (const auto& [name, sheet] : sheets) {
    std::ofstream(dir_.File(name)) << sheet;
    cd_.SetDiscImages({image_.CuePath(), dir_.File(name)});
    ASSERT_EQ(cd_.Initialize(), 0);
    const int mixed = static_cast<int>(cd_.Drives(CdAccessMethod::OsInterface).size()) - 1;
    for (bool osInterface : {true, false}) {
      cd_.SelectApi(osInterface);
      TrackTable table;
      ASSERT_TRUE(RefreshTrackTable(cd_, mixed, table)) << name << ": " << cd_.DriveProblem(mixed);
      ASSERT_EQ(table.trackCount, 4) << name;
      EXPECT_EQ(std::vector<int32_t>(table.start.begin() + 1, table.start.begin() + 6),
                (std::vector<int32_t>{0, 40, 210, 215, 250})) << name;
      EXPECT_EQ(std::vector<int>(table.data.begin() + 1, table.data.begin() + 5), (std::vector<int>{0, 0, 0, 1})) << name;
      EXPECT_EQ(std::vector<int32_t>(table.pregap.begin() + 1, table.pregap.begin() + 5),
                (std::vector<int32_t>{-1, 30, 60, -1})) << name;
      // The next disc has neither: nothing of this one stays behind.
      ASSERT_TRUE(RefreshTrackTable(cd_, image_.DriveIndex(), table)) << name;
      ASSERT_EQ(table.trackCount, 3);
      for (int i = 1; i <= kCdMaxTracks; ++i) {
        EXPECT_EQ(table.data[static_cast<size_t>(i)], 0) << name << " track " << i;
        EXPECT_EQ(table.pregap[static_cast<size_t>(i)], -1) << name << " track " << i;
      }
    }
    // The data track's sectors read as they are stored, like audio.
    auto source = OpenCdDrive(mixed, CdAccessMethod::OsInterface, cd_.DiscImages());
    ASSERT_TRUE(source) << source.Error().text;
    std::vector<uint8_t> sectors(35 * kCdSectorBytes);
    ASSERT_TRUE(source.Value()->ReadAudio(215, 35, 0, sectors));
    const std::vector<uint8_t> file = testcd::ReadFile(dir_.File("mixed.bin"));
    EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), file.begin() + 65 * kCdSectorBytes)) << name;
    cd_.Shutdown();
  }
}

// Catches: a disc image without the identity its read offset is kept under, or one that
// differs between the access methods.
TEST_F(CdDeviceTest, ImagesIdentifyAsTheProgramsDiscImage) {
  const int drive = Register();
  ASSERT_EQ(cd_.Initialize(), 0);
  for (bool osInterface : {true, false}) {
    cd_.SelectApi(osInterface);
    const CdDriveIdentity identity = cd_.DriveIdentity(drive);
    EXPECT_EQ(identity.vendor, "Zimbar");
    EXPECT_EQ(identity.model, "Disc image");
    EXPECT_EQ(identity.Key(), "Zimbar - Disc image");
    EXPECT_EQ(cd_.DriveIdentity(drive + 1).Key(), " - ");   // beyond the list: nothing known
  }
}

// Catches: out-of-range indices read as a drive, with the results each method promises.
TEST_F(CdDeviceTest, IndexBeyondTheListFails) {
  const int drive = Register();
  ASSERT_EQ(cd_.Initialize(), 0);
  TrackTable table;
  cd_.SelectApi(true);
  EXPECT_EQ(cd_.ReadToc(drive + 1, table), -1);
  EXPECT_EQ(cd_.SetSpeed(drive + 1, 704), 0);   // the OS interface has no speed control
  cd_.SelectApi(false);
  EXPECT_EQ(cd_.ReadToc(drive + 1, table), 1);
  EXPECT_EQ(cd_.SetSpeed(drive + 1, 704), 1);
  EXPECT_FALSE(RefreshTrackTable(cd_, drive + 1, table));
  EXPECT_EQ(table.trackCount, 0);
}

// Catches: an image that cannot be read leaving a stale or half-filled table behind.
TEST_F(CdDeviceTest, UnreadableImageGivesEmptyTable) {
  cd_.SetDiscImages({dir_.File("missing.cue")});
  ASSERT_EQ(cd_.Initialize(), 0);
  const int drive = static_cast<int>(cd_.Drives(CdAccessMethod::OsInterface).size()) - 1;
  TrackTable table;
  table.trackCount = 5;
  EXPECT_FALSE(RefreshTrackTable(cd_, drive, table));
  EXPECT_EQ(table.trackCount, 0);
}

// Catches: the drive list losing its placeholder when nothing at all is found.
TEST_F(CdDeviceTest, NoDriveGivesThePlaceholderItem) {
  if (!cd_.Drives(CdAccessMethod::OsInterface).empty()) GTEST_SKIP() << "this machine has a CD drive";
  ASSERT_EQ(cd_.Initialize(), 0);
  const CdDriveMenu menu = BuildCdDriveMenu(cd_, true);
  EXPECT_FALSE(menu.anyDrive);
  EXPECT_EQ(menu.items, std::vector<std::string>{"No CD-ROM Drive Found"});

  Register();
  ASSERT_EQ(cd_.Initialize(), 0);
  const CdDriveMenu one = BuildCdDriveMenu(cd_, false);
  EXPECT_TRUE(one.anyDrive);
  EXPECT_EQ(one.items, std::vector<std::string>{"Image album.cue"});
}

// Catches: blank runs kept in drive names, or the first character squeezed away.
TEST(CdDriveMenuTest, SqueezesBlankRunsAfterTheFirstCharacter) {
  EXPECT_EQ(SqueezeDriveName("ACME     CD-ROM  48X      [1:0:0]"), "ACME CD-ROM 48X [1:0:0]");
  EXPECT_EQ(SqueezeDriveName("  A  B"), "  A B");
  EXPECT_EQ(SqueezeDriveName(""), "");
}

// Catches: speeds, read sizes and overlaps that differ from the settings lists they stand for;
// a read size beyond the one-byte count of a read request.
TEST(CdDriveMenuTest, SettingsListEntriesGiveTheirValues) {
  EXPECT_EQ(CdSpeedKBps(3), 704);
  EXPECT_EQ(CdSpeedKBps(100), 17776);
  for (int k = 0; k < 34; ++k) {
    EXPECT_EQ(CdSectorsPerRead(k), 8 + 4 * k);
    EXPECT_LE(CdSectorsPerRead(k), 255);
  }
  EXPECT_EQ(CdSectorsPerRead(23), 100);
  EXPECT_EQ(CdOverlapPercent(0), 10);
  EXPECT_EQ(CdOverlapPercent(7), 80);
}

// Catches a sectors-per-read entry that names another size than its reads take (the
// last ten entries named up to 256 sectors and read up to 140), and an index beyond the
// list that reads more than its last entry.
TEST(CdDriveMenuTest, EachSectorsPerReadEntryNamesWhatItReads) {
  const std::vector<std::string> entries = SectorsPerReadEntries();
  ASSERT_EQ(entries.size(), 34u);
  for (int k = 0; k < 34; ++k)
    EXPECT_EQ(entries[size_t(k)], std::to_string(CdSectorsPerRead(k)) + "-Sector Read") << "entry " << k;
  EXPECT_EQ(CdSectorsPerRead(99), CdSectorsPerRead(33));
}

// Catches: a DiscImages value split wrongly, or image paths lost on their way to the drive list.
TEST(CdDriveListTest, DiscImagesSettingReachesTheDriveList) {
  EXPECT_EQ(SplitDiscImageSetting(" /a/b c.cue | /d.toc ||"), (std::vector<std::string>{"/a/b c.cue", "/d.toc"}));
  CdLayer cd;
  cd.SetDiscImages({"/x/one.cue", "/y/two words.toc"});
  EXPECT_EQ(cd.DiscImages(), (std::vector<std::string>{"/x/one.cue", "/y/two words.toc"}));
  const auto drives = cd.Drives(CdAccessMethod::ScsiPassThrough);
  ASSERT_GE(drives.size(), 2u);
  EXPECT_EQ(drives.back().path, "/y/two words.toc");
  EXPECT_TRUE(drives.back().image);
  cd.UseDiscImages({"/a.cue", "/b.cue"}, "/b.cue|/c.toc");
  EXPECT_EQ(cd.DiscImages(), (std::vector<std::string>{"/a.cue", "/b.cue", "/c.toc"}));
  cd.SetDiscImages({"", "/with\nline end.cue", "/d.cue"});   // no path, and one with a line end: left out
  EXPECT_EQ(cd.DiscImages(), (std::vector<std::string>{"/d.cue"}));
  cd.SetDiscImages({});
  EXPECT_TRUE(cd.DiscImages().empty());
}

// Catches: CD layers that share their images, drives or access method (process-wide state):
// two front ends in one process each see their own disc only.
TEST_F(CdDeviceTest, TwoLayersDoNotSeeEachOthersImages) {
  const testcd::DiscImage other(dir_.Path(), "other", {testcd::Noise(120, 9), testcd::Silence(30)});
  CdLayer second;
  const int drive = Register();
  second.SetDiscImages(other.Images());
  ASSERT_EQ(other.DriveIndex(), drive);   // the same index names a different disc in each
  ASSERT_EQ(cd_.Initialize(), 0);
  ASSERT_EQ(second.Initialize(), 0);
  cd_.SelectApi(true);
  second.SelectApi(false);

  uint8_t ha = 0, target = 0, lun = 0;
  std::string name;
  ASSERT_EQ(cd_.GetDriveName(drive, ha, target, lun, name), 0);
  EXPECT_EQ(name, "Image album.cue");
  ASSERT_EQ(second.GetDriveName(drive, ha, target, lun, name), 0);
  EXPECT_EQ(name, "Image other.cue");
  EXPECT_EQ(second.GetDriveName(drive + 1, ha, target, lun, name), -1);

  TrackTable mine, theirs;
  ASSERT_TRUE(RefreshTrackTable(cd_, drive, mine));
  ASSERT_TRUE(RefreshTrackTable(second, drive, theirs));
  EXPECT_EQ(mine.trackCount, 3);
  EXPECT_EQ(theirs.trackCount, 2);
  EXPECT_EQ(theirs.length[1], 120);
  // The access method chosen on one layer is not the other's: the OS interface has no speed
  // control (0), SCSI pass-through reports a bad index (1).
  EXPECT_EQ(cd_.SetSpeed(drive + 1, 704), 0);
  EXPECT_EQ(second.SetSpeed(drive + 1, 704), 1);

  // Closing one leaves the other's drives open.
  second.Shutdown();
  EXPECT_EQ(second.GetDriveName(drive, ha, target, lun, name), -1);
  EXPECT_TRUE(RefreshTrackTable(cd_, drive, mine));
  // Nothing reaches the environment, where another library could pick it up.
  EXPECT_EQ(std::getenv(kDiscImagesVariable), nullptr);
}

// Catches: .toc images not opened, or their tracks placed other than the file says.
TEST_F(CdDeviceTest, TocImagesGiveTheirTable) {
  std::ofstream(dir_.File("album.toc")) << "CD_DA\n\nTRACK AUDIO\nFILE \"album.bin\" 0 00:06:01\n\n"
                                           "TRACK AUDIO\nFILE \"album.bin\" 00:06:01 00:05:08\n";
  cd_.SetDiscImages({dir_.File("album.toc")});
  const int drive = static_cast<int>(cd_.Drives(CdAccessMethod::OsInterface).size()) - 1;
  ASSERT_EQ(cd_.Initialize(), 0);
  cd_.SelectApi(true);
  TrackTable table;
  ASSERT_TRUE(RefreshTrackTable(cd_, drive, table));
  ASSERT_EQ(table.trackCount, 2);
  EXPECT_EQ(table.start[2], 451);
  EXPECT_EQ(table.start[3], 451 + 383);
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  std::vector<uint8_t> sectors(3 * 2352);
  ASSERT_TRUE(source.Value()->ReadAudio(452, 3, 0, sectors));
  const auto expected = testcd::Bytes(image_.Track(2));
  EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), expected.begin() + 2352));
}

}  // namespace
