// The iTunSMPB text in an ID3v2 tag.
#include "aaclib/encoder_gap.h"

#include <array>
#include <string>
#include <vector>

#include "aaclib/aac_input.h"
#include "common/tags/id3v2_header.h"

namespace zbaac {

namespace {

// Tags this large are not read for the gap (cover art, mostly).
constexpr std::uint64_t kLongestTagRead = 1 << 20;

// The text of a frame's string field of the given ID3 encoding, as ASCII: the words of
// iTunSMPB are ASCII, so the zero bytes of UTF-16 are dropped with its byte order mark.
// Ends at the field's terminator; *used gets the bytes the field and terminator took.
std::string AsciiField(const std::uint8_t* at, std::size_t bytes, int encoding, std::size_t* used) {
  const bool wide = encoding == 1 || encoding == 2;
  std::string text;
  std::size_t i = 0;
  if (wide) {
    for (; i + 1 < bytes; i += 2) {
      if (at[i] == 0 && at[i + 1] == 0) {
        i += 2;
        break;
      }
      const bool mark = (at[i] == 0xFF && at[i + 1] == 0xFE) || (at[i] == 0xFE && at[i + 1] == 0xFF);
      if (mark) continue;
      const std::uint8_t c = at[i] != 0 ? at[i] : at[i + 1];
      if (c < 0x80) text += char(c);
    }
  } else {
    for (; i < bytes; ++i) {
      if (at[i] == 0) {
        ++i;
        break;
      }
      text += char(at[i]);
    }
  }
  *used = i;
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<EncoderGap> ParseItunSmpb(std::string_view text) {
  std::vector<std::uint64_t> words;
  std::size_t i = 0;
  while (i < text.size() && words.size() < 4) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size()) break;
    std::uint64_t value = 0;
    int digits = 0;
    for (; i < text.size() && text[i] != ' ' && text[i] != '\t'; ++i, ++digits) {
      const int d = HexDigit(text[i]);
      if (d < 0 || digits >= 16) return std::nullopt;
      value = value * 16 + std::uint64_t(d);
    }
    words.push_back(value);
  }
  if (words.size() < 4 || words[3] == 0 || words[1] > 0xFFFFFFFFu || words[2] > 0xFFFFFFFFu) return std::nullopt;
  return EncoderGap{std::uint32_t(words[1]), std::uint32_t(words[2]), words[3]};
}

std::optional<EncoderGap> FindEncoderGap(const AacInput& input, std::uint64_t tagBytes) {
  if (tagBytes < kId3v2HeaderBytes || tagBytes > kLongestTagRead) return std::nullopt;
  std::vector<std::uint8_t> tag(static_cast<std::size_t>(tagBytes));
  if (input.ReadAt(0, tag.data(), tag.size()) != tag.size()) return std::nullopt;
  auto header = ParseId3v2Header(std::span<const std::uint8_t, kId3v2HeaderBytes>(tag.data(), kId3v2HeaderBytes));
  // Version 2.2 frames (three-letter ids) and unsynchronised tags are not read for it.
  if (!header || (header.Value().version != 3 && header.Value().version != 4) ||
      (header.Value().flags & kId3v2Unsynchronisation) != 0) {
    return std::nullopt;
  }
  const bool v24 = header.Value().version == 4;
  const std::size_t end = std::min<std::size_t>(tag.size(), kId3v2HeaderBytes + header.Value().bodyBytes);
  std::size_t at = kId3v2HeaderBytes;
  if ((header.Value().flags & kId3v2ExtendedHeader) != 0 && at + 4 <= end) {
    const std::span<const std::uint8_t, 4> size(tag.data() + at, 4);
    // 2.3 counts the bytes after the size field; 2.4 the whole extended header.
    at += v24 ? DecodeSynchsafe(size) : std::size_t(size[0]) << 24 | size[1] << 16 | size[2] << 8 | size[3];
    if (!v24) at += 4;
  }
  while (at + 10 <= end && tag[at] != 0) {
    const std::span<const std::uint8_t, 4> sizeBytes(tag.data() + at + 4, 4);
    const std::size_t size = v24 ? DecodeSynchsafe(sizeBytes)
                                 : std::size_t(sizeBytes[0]) << 24 | sizeBytes[1] << 16 | sizeBytes[2] << 8 |
                                       sizeBytes[3];
    const std::string id(reinterpret_cast<const char*>(tag.data() + at), 4);
    const std::size_t body = at + 10;
    if (size > end - body) break;
    // Compressed or encrypted frames (2.3: 0x80, 0x40 of the second flag byte; 2.4: 0x08,
    // 0x04) are passed over.
    const std::uint8_t format = tag[at + 9];
    const bool plain = v24 ? (format & 0x0C) == 0 : (format & 0xC0) == 0;
    if (plain && size > 1 && (id == "COMM" || id == "TXXX")) {
      const int encoding = tag[body];
      std::size_t p = body + 1;
      if (id == "COMM") p += 3;  // language
      if (p < body + size) {
        std::size_t used = 0;
        const std::string description = AsciiField(tag.data() + p, body + size - p, encoding, &used);
        if (description == "iTunSMPB") {
          const std::string value = AsciiField(tag.data() + p + used, body + size - p - used, encoding, &used);
          if (auto gap = ParseItunSmpb(value)) return gap;
        }
      }
    }
    at = body + size;
  }
  return std::nullopt;
}

}  // namespace zbaac
