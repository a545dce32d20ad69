// Building MMC command blocks and reading INQUIRY and READ TOC answers.
#include "cdaccess/mmc_commands.h"

#include <cstdio>

namespace {

std::string Field(std::span<const uint8_t> bytes) {
  std::string text(bytes.begin(), bytes.end());
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

}  // namespace

MmcCommand InquiryCommand(uint8_t allocationBytes) {
  MmcCommand c;
  c.length = 6;
  c.cdb[0] = 0x12;
  c.cdb[4] = allocationBytes;
  return c;
}

MmcCommand ReadTocCommand() {
  MmcCommand c;
  c.length = 10;
  c.cdb[0] = 0x43;
  c.cdb[6] = 1;      // from track 1
  c.cdb[7] = 0x08;   // allocation 2 048 bytes
  c.cdb[8] = 0x00;
  return c;
}

MmcCommand SetSpeedCommand(int kBytesPerSecond) {
  MmcCommand c;
  c.length = 12;
  c.cdb[0] = 0xBB;
  c.cdb[2] = static_cast<uint8_t>((kBytesPerSecond >> 8) & 0xFF);
  c.cdb[3] = static_cast<uint8_t>(kBytesPerSecond & 0xFF);
  return c;
}

MmcCommand ReadAudioCommand(int readMode, int32_t sector, int sectors, uint8_t lun) {
  MmcCommand c;
  const auto count = static_cast<uint8_t>(sectors);
  const auto lunBits = static_cast<uint8_t>((lun & 7) * 32);
  switch (readMode) {
    case 1:   // READ CD, user data only
      c.length = 12;
      c.cdb[0] = 0xBE;
      c.cdb[8] = count;
      c.cdb[9] = 0x10;
      break;
    case 2:   // READ(10)
      c.length = 10;
      c.cdb[0] = 0x28;
      c.cdb[1] = lunBits;
      c.cdb[8] = count;
      break;
    case 3:   // vendor read D4
      c.length = 10;
      c.cdb[0] = 0xD4;
      c.cdb[8] = count;
      break;
    case 4:   // vendor read D8
      c.length = 12;
      c.cdb[0] = 0xD8;
      c.cdb[1] = lunBits;
      c.cdb[9] = count;
      break;
    default:  // READ CD with sync, header, user data and error flags
      c.length = 12;
      c.cdb[0] = 0xBE;
      c.cdb[8] = count;
      c.cdb[9] = 0xF0;
      break;
  }
  c.cdb[3] = static_cast<uint8_t>((sector >> 16) & 0xFF);
  c.cdb[4] = static_cast<uint8_t>((sector >> 8) & 0xFF);
  c.cdb[5] = static_cast<uint8_t>(sector & 0xFF);
  return c;
}

std::string InquiryDriveName(std::span<const uint8_t> inquiry, const CdDriveAddress& address) {
  if (inquiry.size() < 32) return {};
  char name[160];
  std::snprintf(name, sizeof name, "%s %s [%i:%i:%i]", Field(inquiry.subspan(8, 8)).c_str(),
                Field(inquiry.subspan(16, 16)).c_str(), address.hostAdapter, address.target, address.lun);
  return std::string(name).substr(0, 64);
}

namespace {

std::string Squeezed(std::string_view field) {
  std::string text;
  bool blank = false;
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F) {
      blank = !text.empty();
      continue;
    }
    if (blank) text += ' ';
    blank = false;
    text += c;
  }
  return text;
}

}  // namespace

CdDriveIdentity DriveIdentityOf(std::string_view vendor, std::string_view model) {
  return {Squeezed(vendor), Squeezed(model)};
}

CdDriveIdentity InquiryDriveIdentity(std::span<const uint8_t> inquiry) {
  if (inquiry.size() < 32) return {};
  const auto field = [&](size_t at, size_t bytes) {
    return std::string_view(reinterpret_cast<const char*>(inquiry.data() + at), bytes);
  };
  return DriveIdentityOf(field(8, 8), field(16, 16));
}

std::optional<CdToc> ParseReadTocAnswer(std::span<const uint8_t> answer) {
  if (answer.size() < 4) return std::nullopt;
  const int dataLength = (answer[0] << 8) | answer[1];
  const int descriptors = (dataLength - 2) / 8;
  if (descriptors < 2 || static_cast<size_t>(4 + descriptors * 8) > answer.size()) return std::nullopt;
  CdToc toc;
  toc.firstTrack = answer[2];
  for (int i = 0; i < descriptors; ++i) {
    const uint8_t* descriptor = &answer[static_cast<size_t>(4 + 8 * i)];
    const uint8_t* d = descriptor + 4;
    toc.starts.push_back(static_cast<int32_t>((uint32_t{d[0]} << 24) | (uint32_t{d[1]} << 16) | (uint32_t{d[2]} << 8) | d[3]));
    if (i + 1 < descriptors) toc.dataTracks.push_back((descriptor[1] & 0x04) != 0 ? 1 : 0);
  }
  return toc;
}
