// Text helpers of the CD information.
#include "maker/metadata/metadata_text.h"

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

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}
