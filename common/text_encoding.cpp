// UTF-8 and ISO-8859-1 conversions.
#include "common/text_encoding.h"

#include <cstdint>

namespace {

// Decodes one UTF-8 sequence at text[at]. Returns its length in bytes, or 0 when the bytes
// there do not form a valid, shortest-form sequence (the caller then takes one byte).
size_t DecodeOne(std::string_view text, size_t at, uint32_t& codePoint) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
  const uint8_t lead = byte(0);
  size_t length;
  uint32_t value;
  uint32_t minimum;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (char c : latin1) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    uint32_t codePoint = 0;
    const size_t length = DecodeOne(utf8, at, codePoint);
    if (length == 0) {
      out.push_back('?');
      ++at;
      continue;
    }
    out.push_back(codePoint <= 0xFF ? static_cast<char>(codePoint) : '?');
    at += length;
  }
  return out;
}

std::string CutUtf8(std::string_view utf8, size_t maxBytes) {
  if (utf8.size() <= maxBytes) return std::string(utf8);
  size_t end = 0;
  while (end < maxBytes) {
    uint32_t codePoint = 0;
    size_t length = DecodeOne(utf8, end, codePoint);
    if (length == 0) length = 1;  // a stray byte is a character of its own
    if (end + length > maxBytes) break;
    end += length;
  }
  return std::string(utf8.substr(0, end));
}

size_t Utf8Length(std::string_view utf8) {
  size_t count = 0;
  for (size_t at = 0; at < utf8.size(); ++count) {
    uint32_t codePoint = 0;
    const size_t length = DecodeOne(utf8, at, codePoint);
    at += length == 0 ? 1 : length;
  }
  return count;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    uint32_t codePoint = 0;
    const size_t length = DecodeOne(text, at, codePoint);
    if (length == 0) return false;
    at += length;
  }
  return true;
}
