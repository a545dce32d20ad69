// Finding the ID3 tags that some tools put around an AAC stream.
#include "aaclib/id3_tags.h"

#include <cstring>

#include "aaclib/aac_input.h"

namespace zbaac {

namespace {

constexpr std::uint64_t kId3v2HeaderBytes = 10;
constexpr std::uint64_t kId3v1Bytes = 128;

}  // namespace

std::uint64_t Id3v2TagBytes(const AacInput& input) {
  std::uint8_t header[kId3v2HeaderBytes];
  if (input.ReadAt(0, header, sizeof header) != sizeof header) return 0;
  // "ID3", major version 2 to 4, a revision, flags, then the size in four 7-bit bytes.
  if (std::memcmp(header, "ID3", 3) != 0 || header[3] < 2 || header[3] > 4 || header[4] == 0xFF) return 0;
  std::uint64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return 0;
    size = (size << 7) | header[i];
  }
  // Only version 2.4 defines the footer flag.
  const bool footer = header[3] == 4 && (header[5] & 0x10) != 0;
  const std::uint64_t total = kId3v2HeaderBytes + size + (footer ? kId3v2HeaderBytes : 0);
  return total <= input.SizeBytes() ? total : 0;
}

std::uint64_t Id3v1TagBytes(const AacInput& input, std::uint64_t from) {
  const std::uint64_t size = input.SizeBytes();
  if (size < kId3v1Bytes || size - kId3v1Bytes < from) return 0;
  std::uint8_t tag[3];
  if (input.ReadAt(size - kId3v1Bytes, tag, sizeof tag) != sizeof tag) return 0;
  return std::memcmp(tag, "TAG", 3) == 0 ? kId3v1Bytes : 0;
}

}  // namespace zbaac
