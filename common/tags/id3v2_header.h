// The 10-byte header of an ID3v2 tag at the start of a file, and the extent of the tag it
// announces, computed from what each version defines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/error.h"

inline constexpr size_t kId3v2HeaderBytes = 10;
inline constexpr size_t kId3v2FooterBytes = 10;

// Header flags. Their meaning depends on the version: 0x40 is the extended header in 2.3
// and 2.4 but compression in 2.2; 0x10, the footer, exists only in 2.4.
inline constexpr uint8_t kId3v2Unsynchronisation = 0x80;
inline constexpr uint8_t kId3v2ExtendedHeader = 0x40;  // 2.3, 2.4
inline constexpr uint8_t kId3v2Compression22 = 0x40;   // 2.2
inline constexpr uint8_t kId3v2Footer24 = 0x10;        // 2.4

struct Id3v2Header {
  int version = 0;         // 2, 3 or 4 (the "major version": ID3v2.3 is 3)
  int revision = 0;
  uint8_t flags = 0;
  uint32_t bodyBytes = 0;  // the size field: extended header, frames and padding

  // The tag announces a footer after its body: only version 2.4 defines one, so the same
  // bit of an older tag adds nothing (it is undefined there and must not cost audio).
  bool AnnouncesFooter() const { return version == 4 && (flags & kId3v2Footer24) != 0; }
  // Header and body; a footer comes on top when AnnouncesFooter() and it is there.
  uint64_t BytesWithoutFooter() const { return kId3v2HeaderBytes + uint64_t{bodyBytes}; }
};

// True when the bytes start with the "ID3" marker of a tag header.
bool StartsWithId3v2Marker(std::span<const uint8_t> bytes);

// Reads the header from the first 10 bytes (the caller checked StartsWithId3v2Marker).
// Fails with a Format error for "ID3" followed by bytes no header can hold (a size byte
// over 0x7F), an Unsupported one for a version other than 2.2, 2.3 and 2.4 (its extent is
// not known); the position is the offending byte, the reason what was found ("size byte
// 0x80", "version 2.5") and the text "Damaged ID3v2 tag: " or "Unsupported ID3v2 tag: "
// and the reason.
Expected<Id3v2Header> ParseId3v2Header(std::span<const uint8_t, kId3v2HeaderBytes> bytes);

// The 10 bytes that follow the body of a 2.4 tag are its footer: "3DI" with the header's
// version and size.
bool IsFooterOf(const Id3v2Header& header, std::span<const uint8_t, kId3v2FooterBytes> footer);

// The 10 bytes of a header: "ID3", version, revision, flags, the size in 4 bytes of 7 bits.
std::array<uint8_t, kId3v2HeaderBytes> RenderId3v2Header(const Id3v2Header& header);

// The size as 4 bytes of 7 bits each ("synchsafe"); values up to 2^28 - 1.
uint32_t DecodeSynchsafe(std::span<const uint8_t, 4> bytes);
std::array<uint8_t, 4> EncodeSynchsafe(uint32_t value);
