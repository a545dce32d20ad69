// Opening the tray of a real drive, answered by a fake device.
#include "cdaccess/cd_eject.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "tests/cdaccess/disc_image_builder.h"

namespace {

// A device that records what it was asked and answers with `answer` (an errno, 0 for yes).
struct FakeDevice {
  int answer = 0;
  std::vector<unsigned long> requests;
  bool nonBlocking = false;
  CdDeviceRequest Request() {
    return [this](int fd, unsigned long request) {
      requests.push_back(request);
      nonBlocking = (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
      if (answer == 0) return 0;
      errno = answer;
      return -1;
    };
  }
};

}  // namespace

// Catches another request than CDROMEJECT, a drive opened so that it waits for a disc
// (an empty drive or an open tray would then refuse the open), and refusals reported as
// the system's bare words instead of what they mean for a drive.
TEST(CdEject, SendsTheEjectRequestAndSaysWhyItFailed) {
  testcd::TempDir dir;
  const std::string device = dir.Path() + "/sr0";
  std::ofstream(device) << "";
  FakeDevice fake;
  ASSERT_TRUE(EjectCdDrive(device, fake.Request()));
  EXPECT_EQ(fake.requests, std::vector<unsigned long>{CDROMEJECT});
  EXPECT_TRUE(fake.nonBlocking);

  for (auto [errnum, words] : {std::pair{EBUSY, "the drive is in use"}, std::pair{ENOSYS, "cannot open its tray"}}) {
    fake.answer = errnum;
    const Outcome refused = EjectCdDrive(device, fake.Request());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Error().text.find("Cannot eject " + device + ": "), 0u) << refused.Error().text;
    EXPECT_NE(refused.Error().text.find(words), std::string::npos) << refused.Error().text;
    EXPECT_EQ(refused.Error().errnum, errnum);
  }
  // The real request on a file that is no drive.
  const Outcome notADrive = EjectCdDrive(device);
  ASSERT_FALSE(notADrive);
  EXPECT_EQ(notADrive.Error().text, "Cannot eject " + device + ": it is not a CD drive");
  const Outcome missing = EjectCdDrive(dir.Path() + "/sr9");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().errnum, ENOENT);
}
