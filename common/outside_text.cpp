// Control characters taken out of received text; 8-bit text read as ISO-8859-1.
#include "common/outside_text.h"

#include "common/text_encoding.h"

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

std::string ShowableText(std::string_view received) {
  return WithoutControlChars(IsValidUtf8(received) ? std::string(received) : Latin1ToUtf8(received));
}
