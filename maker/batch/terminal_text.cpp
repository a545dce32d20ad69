// Escaping of control characters and broken UTF-8 for the terminal.
#include "maker/batch/terminal_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when the byte there starts none
// (a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a
// sequence cut short).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  return length;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

}  // namespace

std::string TerminalText(std::string_view text, int keptTabs) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\t' && keptTabs > 0) {
      --keptTabs;
      out.push_back('\t');
      ++i;
      continue;
    }
    if (byte < 0x20 || byte == 0x7F) {
      AppendEscape(out, "\\x%02x", byte);
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscape(out, "\\x%02x", byte);
      ++i;
      continue;
    }
    // U+0080..U+009F: C2 80..C2 9F.
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      AppendEscape(out, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
      i += 2;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out;
}
