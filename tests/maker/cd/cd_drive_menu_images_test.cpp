// Disc images in the drive list: missing ones left out, opened ones found, no tray to open.
#include <gtest/gtest.h>

#include "maker/cd/cd_device.h"
#include "maker/cd/cd_drive_menu.h"
#include "tests/cdaccess/disc_image_builder.h"

// Catches a missing image listed as a drive (it can only fail, and it moves the numbers
// of the drives after it), an image listed twice, and a folder taken for an image.
TEST(CdDriveMenuImages, MissingImagesAreNotListed) {
  testcd::TempDir dir;
  testcd::DiscImage a{dir.Path(), "a", {testcd::Silence(100)}};
  testcd::DiscImage b{dir.Path(), "b", {testcd::Silence(100)}};
  const std::string gone = dir.Path() + "/gone.cue";
  const DiscImageList list = ExistingDiscImages({a.CuePath(), gone, dir.Path(), b.CuePath(), a.CuePath(), gone});
  EXPECT_EQ(list.listed, (std::vector<std::string>{a.CuePath(), b.CuePath()}));
  EXPECT_EQ(list.missing, (std::vector<std::string>{gone, dir.Path()}));

  CdLayer cd;
  cd.SetDiscImages(list.listed);
  ASSERT_EQ(cd.Initialize(), 0);
  const CdDriveMenu menu = BuildCdDriveMenu(cd, /*osInterface=*/true);
  const int drive = DriveIndexOfImage(cd, /*osInterface=*/true, b.CuePath());
  ASSERT_GE(drive, 1);
  EXPECT_EQ(menu.items.at(static_cast<size_t>(drive)), "Image b.cue");
  EXPECT_EQ(menu.items.back(), "Image b.cue");
  EXPECT_EQ(DriveIndexOfImage(cd, /*osInterface=*/false, b.CuePath()), b.DriveIndex(CdAccessMethod::ScsiPassThrough) + 1);
  EXPECT_EQ(DriveIndexOfImage(cd, true, gone), -1);
  EXPECT_FALSE(IsRealDrive(cd, true, drive));
}

// Catches Eject sent to a disc image's file, or an index beyond the list taken for a drive;
// and a layer left closed after a refused eject.
TEST(CdDriveMenuImages, ADiscImageHasNoTrayToOpen) {
  testcd::TempDir dir;
  testcd::DiscImage a{dir.Path(), "a", {testcd::Silence(100)}};
  CdLayer cd;
  cd.SetDiscImages(a.Images());
  ASSERT_EQ(cd.Initialize(), 0);
  const int drive = DriveIndexOfImage(cd, true, a.CuePath());
  bool asked = false;
  const CdDeviceRequest fake = [&](int, unsigned long) {
    asked = true;
    return 0;
  };
  const Outcome image = EjectDrive(cd, true, drive, fake);
  ASSERT_FALSE(image);
  EXPECT_EQ(image.Error().text, "Image a.cue is a disc image: it has no tray to open");
  EXPECT_FALSE(EjectDrive(cd, true, drive + 1, fake));
  EXPECT_FALSE(asked);
  TrackTable table;
  EXPECT_TRUE(RefreshTrackTable(cd, drive, table));
}
