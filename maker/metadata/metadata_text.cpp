// Character-safe cutting of UTF-8 texts; case-blind prefixes.
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

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}
