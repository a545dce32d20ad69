// The OpusHead output gain, read and patched in place in the stream's first Ogg page.
#include "common/tags/opus_head_gain.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kPageHeaderBytes = 27;
constexpr size_t kCrcOffset = 22;
constexpr size_t kGainOffset = 16;  // within the OpusHead packet
constexpr size_t kOpusHeadBytes = 19;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04c11db7u : r << 1;
    table[i] = r;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

bool ReadAt(int fd, uint8_t* data, size_t bytes, off_t offset) {
  while (bytes > 0) {
    const ssize_t n = ::pread(fd, data, bytes, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    bytes -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// The first page whole, and where the OpusHead packet starts in it; nothing when the file
// does not start with a page that holds one (it is alone on its page by RFC 7845).
struct HeadPage {
  std::vector<uint8_t> bytes;
  size_t packetAt = 0;
};

std::optional<HeadPage> ReadHeadPage(int fd) {
  std::array<uint8_t, kPageHeaderBytes> header{};
  if (!ReadAt(fd, header.data(), header.size(), 0) || std::memcmp(header.data(), "OggS", 4) != 0 || header[4] != 0)
    return std::nullopt;
  const size_t segments = header[26];
  HeadPage page;
  page.bytes.assign(header.begin(), header.end());
  page.bytes.resize(kPageHeaderBytes + segments);
  if (!ReadAt(fd, page.bytes.data() + kPageHeaderBytes, segments, kPageHeaderBytes)) return std::nullopt;
  size_t bodyBytes = 0;
  for (size_t i = 0; i < segments; ++i) bodyBytes += page.bytes[kPageHeaderBytes + i];
  page.packetAt = page.bytes.size();
  page.bytes.resize(page.packetAt + bodyBytes);
  if (!ReadAt(fd, page.bytes.data() + page.packetAt, bodyBytes, static_cast<off_t>(page.packetAt))) return std::nullopt;
  if (bodyBytes < kOpusHeadBytes || std::memcmp(page.bytes.data() + page.packetAt, "OpusHead", 8) != 0)
    return std::nullopt;
  return page;
}

}  // namespace

uint32_t OggPageCrc(std::span<const uint8_t> page) {
  uint32_t crc = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    const uint8_t byte = i >= kCrcOffset && i < kCrcOffset + 4 ? 0 : page[i];
    crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ byte) & 0xff];
  }
  return crc;
}

std::optional<int16_t> ReadOpusOutputGain(int fd) {
  const auto page = ReadHeadPage(fd);
  if (!page) return std::nullopt;
  const uint8_t* gain = page->bytes.data() + page->packetAt + kGainOffset;
  return static_cast<int16_t>(static_cast<uint16_t>(gain[0] | (gain[1] << 8)));
}

Outcome WriteOpusOutputGain(int fd, int16_t gainQ78) {
  auto page = ReadHeadPage(fd);
  if (!page) return Fail(Error(ErrorCategory::Format, ErrorPosition::Byte(0), "No Opus identification header"));
  const auto gain = static_cast<uint16_t>(gainQ78);
  page->bytes[page->packetAt + kGainOffset] = static_cast<uint8_t>(gain & 0xff);
  page->bytes[page->packetAt + kGainOffset + 1] = static_cast<uint8_t>(gain >> 8);
  const uint32_t crc = OggPageCrc(page->bytes);
  for (int i = 0; i < 4; ++i) page->bytes[kCrcOffset + i] = static_cast<uint8_t>(crc >> (8 * i));
  const uint8_t* data = page->bytes.data();
  size_t bytes = page->bytes.size();
  off_t offset = 0;
  while (bytes > 0) {
    const ssize_t n = ::pwrite(fd, data, bytes, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(IoError(n < 0 ? errno : EIO, {}, "Cannot write the Opus header"));
    data += n;
    bytes -= static_cast<size_t>(n);
    offset += n;
  }
  return Done{};
}

int16_t GainQ78(double db) {
  const double q = std::round(db * 256.0);
  if (!(q > -32768.0)) return -32768;
  if (q > 32767.0) return 32767;
  return static_cast<int16_t>(q);
}
