// The SCSI pass-through command blocks and the parsing of INQUIRY and READ TOC answers.
#include "cdaccess/mmc_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "maker/cd/cd_drive_menu.h"

namespace {

std::vector<uint8_t> Bytes(const MmcCommand& c) { return {c.cdb.begin(), c.cdb.begin() + c.length}; }

// Catches: a command byte in the wrong place, which a drive answers with an error or,
// worse, with other data than audio.
TEST(MmcCommandsTest, CommandBlocksHaveTheirBytes) {
  EXPECT_EQ(Bytes(InquiryCommand(100)), (std::vector<uint8_t>{0x12, 0, 0, 0, 100, 0}));
  EXPECT_EQ(Bytes(ReadTocCommand()), (std::vector<uint8_t>{0x43, 0, 0, 0, 0, 0, 1, 0x08, 0x00, 0}));
  EXPECT_EQ(Bytes(SetSpeedCommand(704)), (std::vector<uint8_t>{0xBB, 0, 0x02, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(SetSpeedCommand(17776)), (std::vector<uint8_t>{0xBB, 0, 0x45, 0x70, 0, 0, 0, 0, 0, 0, 0, 0}));
  const int32_t a = 0x012345;
  EXPECT_EQ(Bytes(ReadAudioCommand(0, a, 26, 1)), (std::vector<uint8_t>{0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0xF0, 0, 0}));
  EXPECT_EQ(Bytes(ReadAudioCommand(1, a, 26, 1)), (std::vector<uint8_t>{0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0x10, 0, 0}));
  EXPECT_EQ(Bytes(ReadAudioCommand(2, a, 26, 1)), (std::vector<uint8_t>{0x28, 32, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0}));
  EXPECT_EQ(Bytes(ReadAudioCommand(3, a, 26, 1)), (std::vector<uint8_t>{0xD4, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0}));
  EXPECT_EQ(Bytes(ReadAudioCommand(4, a, 255, 2)), (std::vector<uint8_t>{0xD8, 64, 0, 0x01, 0x23, 0x45, 0, 0, 0, 255, 0, 0}));
}

// Catches: a drive's identity (the key of its read offset) that changes with the padding
// of its INQUIRY fields, takes bytes of the neighbouring fields, or keeps NUL bytes.
TEST(MmcCommandsTest, InquiryIdentityIsTrimmedAndSqueezed) {
  std::vector<uint8_t> inquiry(100, 0);
  inquiry[0] = 5;
  std::memcpy(&inquiry[8], "ACME    ", 8);
  std::memcpy(&inquiry[16], "CD-ROM  48X     ", 16);
  std::memcpy(&inquiry[32], "1.00", 4);
  const CdDriveIdentity identity = InquiryDriveIdentity(inquiry);
  EXPECT_EQ(identity.vendor, "ACME");
  EXPECT_EQ(identity.model, "CD-ROM 48X");
  EXPECT_EQ(identity.Key(), "ACME - CD-ROM 48X");
  // Fields padded with NUL bytes, blanks in front, a tab: the same drive, the same key.
  std::memcpy(&inquiry[8], " ACME\0\0\0", 8);
  std::memcpy(&inquiry[16], "\0CD-ROM\t48X\0\0\0\0\0\0", 16);
  EXPECT_EQ(InquiryDriveIdentity(inquiry).Key(), "ACME - CD-ROM 48X");
  // Fields filled to their last byte keep every character.
  std::memcpy(&inquiry[8], "VENDOR12", 8);
  std::memcpy(&inquiry[16], "MODEL-0123456789", 16);
  EXPECT_EQ(InquiryDriveIdentity(inquiry).Key(), "VENDOR12 - MODEL-0123456789");
  EXPECT_EQ(InquiryDriveIdentity(std::vector<uint8_t>(31, 'A')).Key(), " - ");
  EXPECT_EQ(DriveIdentityOf("  PLEXTOR ", "DVDR   PX-716A  ").Key(), "PLEXTOR - DVDR PX-716A");
}

// Catches: vendor and product fields misread or the address left out of the drive name.
TEST(MmcCommandsTest, InquiryNameSqueezesToTheListName) {
  std::vector<uint8_t> inquiry(100, 0);
  inquiry[0] = 5;
  std::memcpy(&inquiry[8], "ACME    ", 8);
  std::memcpy(&inquiry[16], "CD-ROM  48X     ", 16);
  std::memcpy(&inquiry[32], "1.00", 4);
  const std::string name = InquiryDriveName(inquiry, CdDriveAddress{1, 0, 0});
  EXPECT_EQ(name, "ACME     CD-ROM  48X      [1:0:0]");
  EXPECT_EQ(SqueezeDriveName(name), "ACME CD-ROM 48X [1:0:0]");
}

std::vector<uint8_t> TocAnswer(int dataLength, int descriptors) {
  std::vector<uint8_t> answer(2048, 0);
  answer[0] = static_cast<uint8_t>(dataLength >> 8);
  answer[1] = static_cast<uint8_t>(dataLength & 0xFF);
  answer[2] = 1;
  answer[3] = static_cast<uint8_t>(descriptors - 1);
  for (int i = 0; i < descriptors; ++i) {
    const uint32_t lba = 0x10000u * static_cast<uint32_t>(i) + static_cast<uint32_t>(i);   // uses all four bytes
    uint8_t* d = &answer[static_cast<size_t>(4 + 8 * i)];
    d[2] = static_cast<uint8_t>(i == descriptors - 1 ? 0xAA : i + 1);
    d[4] = static_cast<uint8_t>(lba >> 24);
    d[5] = static_cast<uint8_t>(lba >> 16);
    d[6] = static_cast<uint8_t>(lba >> 8);
    d[7] = static_cast<uint8_t>(lba);
  }
  return answer;
}

// Catches: data tracks of a disc (an enhanced CD's last track) read as audio, the data
// bit taken from the ADR half of the byte, or the lead-out given a flag of its own.
TEST(MmcCommandsTest, ReadTocAnswerMarksDataTracks) {
  std::vector<uint8_t> answer = TocAnswer(2 + 8 * 5, 5);   // 4 tracks and the lead-out
  answer[4 + 8 * 0 + 1] = 0x10;   // ADR 1, control 0: audio
  answer[4 + 8 * 1 + 1] = 0x12;   // copy permitted: audio
  answer[4 + 8 * 2 + 1] = 0x40;   // ADR 4 (bit 2 of the ADR half): audio
  answer[4 + 8 * 3 + 1] = 0x14;   // control bit 2: data
  answer[4 + 8 * 4 + 1] = 0x14;   // the lead-out's
  const auto toc = ParseReadTocAnswer(answer);
  ASSERT_TRUE(toc.has_value());
  EXPECT_EQ(toc->dataTracks, (std::vector<uint8_t>{0, 0, 0, 1}));
  EXPECT_FALSE(toc->IsDataTrack(2));
  EXPECT_TRUE(toc->IsDataTrack(3));
}

// Catches: the lead-out counted as a track, or addresses read with the wrong byte order.
TEST(MmcCommandsTest, ReadTocAnswerGivesTracksAndLeadOut) {
  const auto toc = ParseReadTocAnswer(TocAnswer(2 + 8 * 13, 13));
  ASSERT_TRUE(toc.has_value());
  EXPECT_EQ(toc->starts.size(), 13u);   // 12 tracks and the lead-out
  EXPECT_EQ(toc->starts[0], 0);
  EXPECT_EQ(toc->starts[12], 0x0C000C);
  // A length that is no whole number of descriptors rounds down.
  EXPECT_EQ(ParseReadTocAnswer(TocAnswer(2 + 8 * 13 + 5, 13))->starts.size(), 13u);
  EXPECT_FALSE(ParseReadTocAnswer(TocAnswer(2 + 8, 1)).has_value());
  EXPECT_FALSE(ParseReadTocAnswer(TocAnswer(2 + 8 * 300, 13)).has_value());
}

}  // namespace
