// Cutting texts by characters.
#include "player/playlist/bounded_text.h"

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the character that starts at `at`: a lead byte and its continuation
// bytes, at most four; a byte that leads nothing is one character of its own.
size_t CharLength(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t wanted = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  size_t length = 1;
  while (length < wanted && at + length < text.size() && IsContinuation(static_cast<unsigned char>(text[at + length])))
    ++length;
  return length;
}

// Byte offset after the first `chars` characters (or the text's end).
size_t PrefixBytes(std::string_view text, size_t chars) {
  size_t at = 0;
  for (size_t n = 0; n < chars && at < text.size(); ++n) at += CharLength(text, at);
  return at;
}

// Byte offset where the last `chars` characters begin: continuation bytes belong to the
// character before them, as a forward walk would group them.
size_t SuffixStart(std::string_view text, size_t chars) {
  size_t at = text.size();
  for (size_t n = 0; n < chars && at > 0; ++n) {
    size_t start = at - 1;
    // Back over at most three continuation bytes to the byte that leads them.
    size_t back = 0;
    while (start > 0 && back < 3 && IsContinuation(static_cast<unsigned char>(text[start]))) {
      --start;
      ++back;
    }
    if (CharLength(text, start) != at - start) start = at - 1;  // a stray byte
    at = start;
  }
  return at;
}

}  // namespace

std::string BoundedText(std::string_view text, size_t maxChars, KeptPart kept) {
  // Cheap first look: a text with no more bytes than allowed characters fits.
  if (text.size() <= maxChars) return std::string(text);
  if (PrefixBytes(text, maxChars) == text.size()) return std::string(text);
  if (maxChars == 0) return {};
  const size_t keep = maxChars - 1;  // the ellipsis is one of them
  switch (kept) {
    case KeptPart::Start:
      return std::string(text.substr(0, PrefixBytes(text, keep))) + std::string(kEllipsis);
    case KeptPart::End:
      return std::string(kEllipsis) + std::string(text.substr(SuffixStart(text, keep)));
    case KeptPart::BothEnds: {
      const size_t head = keep - keep / 2, tail = keep / 2;
      return std::string(text.substr(0, PrefixBytes(text, head))) + std::string(kEllipsis) +
             std::string(text.substr(SuffixStart(text, tail)));
    }
  }
  return std::string(text.substr(0, PrefixBytes(text, keep)));
}

std::string BoundedLines(const std::vector<std::string>& lines, size_t maxLines, size_t maxChars) {
  std::string text;
  const size_t shown = lines.size() > maxLines ? maxLines : lines.size();
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += '\n';
    text += BoundedText(lines[i], maxChars, KeptPart::BothEnds);
  }
  if (shown < lines.size()) text += "\n... and " + std::to_string(lines.size() - shown) + " more";
  return text;
}
