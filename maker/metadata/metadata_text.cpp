// Character-safe cutting of UTF-8 texts, control characters taken out; case-blind prefixes.
#include "maker/metadata/metadata_text.h"

#include <strings.h>

std::string CutUtf8Chars(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    // A lead byte starts a character; continuation bytes (10xxxxxx) belong to it.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) break;
      ++chars;
    }
    ++i;
  }
  return std::string(text.substr(0, i));
}

std::string WithoutControlChars(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\t') {
      clean.push_back(' ');
      continue;
    }
    if (byte < 0x20 || byte == 0x7F) continue;
    // U+0080..U+009F are the two bytes C2 80..C2 9F in UTF-8.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        ++i;
        continue;
      }
    }
    clean.push_back(static_cast<char>(byte));
  }
  return clean;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}
