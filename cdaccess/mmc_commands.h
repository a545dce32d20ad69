// The MMC command blocks the SCSI pass-through method sends, and the parsing of the answers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cdaccess/cd_source.h"

struct MmcCommand {
  std::array<uint8_t, 12> cdb{};
  unsigned length = 0;   // bytes of cdb used: 6, 10 or 12
};

MmcCommand InquiryCommand(uint8_t allocationBytes);             // 0x12, 6 bytes
MmcCommand ReadTocCommand();                                     // 0x43 from track 1, 2 048 bytes
MmcCommand SetSpeedCommand(int kBytesPerSecond);                 // 0xBB, 12 bytes
// The read request of a read mode (0 READ CD, 1 READ CD user data, 2 READ(10), 3 vendor D4,
// 4 vendor D8) for `sectors` (1 ... 255) at `sector`; unknown modes read as mode 0.
MmcCommand ReadAudioCommand(int readMode, int32_t sector, int sectors, uint8_t lun);

// "vendor product [ha:target:lun]" from a 100-byte INQUIRY answer, cut to 64 characters.
std::string InquiryDriveName(std::span<const uint8_t> inquiry, const CdDriveAddress& address);

// The vendor and model of INQUIRY fields (or of what the system read from them): NUL
// bytes and control characters read as blanks, blanks at either end dropped and runs of
// them squeezed to one, so that "ACME    " and "CD-ROM  48X     " give "ACME" and
// "CD-ROM 48X", the same key however a drive pads its fields.
CdDriveIdentity DriveIdentityOf(std::string_view vendor, std::string_view model);
// The vendor (bytes 8-15) and product (16-31) of an INQUIRY answer; empty fields for an
// answer too short to hold them.
CdDriveIdentity InquiryDriveIdentity(std::span<const uint8_t> inquiry);

// The track starts and lead-out of a READ TOC answer (format 0, logical addresses); nullopt
// when it describes no track or runs past the buffer. Data length D gives (D - 2) / 8
// descriptors, the last being the lead-out. A track whose descriptor's control nibble has
// bit 2 set (byte 1, the low four bits) is a data track.
std::optional<CdToc> ParseReadTocAnswer(std::span<const uint8_t> answer);
