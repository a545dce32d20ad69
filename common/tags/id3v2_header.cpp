// The ID3v2 tag header: "ID3", version, revision, flags and a 28-bit size.
#include "common/tags/id3v2_header.h"

#include <cstdio>
#include <cstring>
#include <string>

bool StartsWithId3v2Marker(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && std::memcmp(bytes.data(), "ID3", 3) == 0;
}

uint32_t DecodeSynchsafe(std::span<const uint8_t, 4> bytes) {
  uint32_t value = 0;
  for (const uint8_t byte : bytes) value = (value << 7) | (byte & 0x7Fu);
  return value;
}

std::array<uint8_t, 4> EncodeSynchsafe(uint32_t value) {
  return {static_cast<uint8_t>((value >> 21) & 0x7F), static_cast<uint8_t>((value >> 14) & 0x7F),
          static_cast<uint8_t>((value >> 7) & 0x7F), static_cast<uint8_t>(value & 0x7F)};
}

namespace {

Error HeaderFailure(ErrorCategory category, size_t byte, std::string detail) {
  const char* what = category == ErrorCategory::Unsupported ? "Unsupported ID3v2 tag: " : "Damaged ID3v2 tag: ";
  return Error(category, ErrorPosition::Byte(byte), what + detail, detail);
}

}  // namespace

Expected<Id3v2Header> ParseId3v2Header(std::span<const uint8_t, kId3v2HeaderBytes> bytes) {
  Id3v2Header header;
  header.version = bytes[3];
  header.revision = bytes[4];
  header.flags = bytes[5];
  // Every version since 2.2 keeps the size in the same four bytes of seven bits; a byte
  // with its top bit set is no size at all.
  for (size_t i = 6; i < kId3v2HeaderBytes; ++i) {
    if (bytes[i] & 0x80) {
      char detail[32];
      std::snprintf(detail, sizeof detail, "size byte 0x%02X", bytes[i]);
      return Fail(HeaderFailure(ErrorCategory::Format, i, detail));
    }
  }
  if (header.version == 0xFF || header.revision == 0xFF)
    return Fail(HeaderFailure(ErrorCategory::Format, header.version == 0xFF ? 3 : 4, "version byte 0xFF"));
  if (header.version < 2 || header.version > 4)
    return Fail(HeaderFailure(ErrorCategory::Unsupported, 3, "version 2." + std::to_string(header.version)));
  header.bodyBytes = DecodeSynchsafe(bytes.subspan<6, 4>());
  return header;
}

bool IsFooterOf(const Id3v2Header& header, std::span<const uint8_t, kId3v2FooterBytes> footer) {
  // The marker, the version and the size must match; a writer that copied the revision or
  // the flags differently still wrote a footer.
  const auto expected = RenderId3v2Header(header);
  return std::memcmp(footer.data(), "3DI", 3) == 0 && footer[3] == expected[3] &&
         std::memcmp(footer.data() + 6, expected.data() + 6, 4) == 0;
}

std::array<uint8_t, kId3v2HeaderBytes> RenderId3v2Header(const Id3v2Header& header) {
  const auto size = EncodeSynchsafe(header.bodyBytes);
  return {'I', 'D', '3', static_cast<uint8_t>(header.version), static_cast<uint8_t>(header.revision), header.flags,
          size[0], size[1], size[2], size[3]};
}
