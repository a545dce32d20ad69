// Tests of the texts cut before a window measures them.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/playlist/bounded_text.h"

namespace {

// Characters of a UTF-8 text (each lead byte or stray byte starts one).
size_t Chars(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

// Catches a text that fits but is cut, and a cut that keeps the wrong part or counts
// the ellipsis outside the limit.
TEST(BoundedText, KeepsTheAskedPartWithinTheLimit) {
  EXPECT_EQ(BoundedText("short", 5, KeptPart::Start), "short");
  EXPECT_EQ(BoundedText("abcdefghij", 5, KeptPart::Start), "abcd\u2026");
  EXPECT_EQ(BoundedText("abcdefghij", 5, KeptPart::End), "\u2026ghij");
  EXPECT_EQ(BoundedText("abcdefghij", 5, KeptPart::BothEnds), "ab\u2026ij");
  EXPECT_EQ(BoundedText("abcdefghij", 0, KeptPart::End), "");
  const std::string huge(1 << 20, 'x');
  for (KeptPart kept : {KeptPart::Start, KeptPart::End, KeptPart::BothEnds})
    EXPECT_EQ(Chars(BoundedText(huge, kFieldTextChars, kept)), kFieldTextChars);
}

// Catches characters split in two (invalid UTF-8 shown as boxes), characters counted as
// bytes, and stray bytes that make the cut run past the limit.
TEST(BoundedText, NeverSplitsACharacter) {
  const std::string umlauts = "\u00e4\u00f6\u00fc\u00e4\u00f6\u00fc";  // six characters, twelve bytes
  EXPECT_EQ(BoundedText(umlauts, 6, KeptPart::Start), umlauts);
  EXPECT_EQ(BoundedText(umlauts, 4, KeptPart::Start), "\u00e4\u00f6\u00fc\u2026");
  EXPECT_EQ(BoundedText(umlauts, 4, KeptPart::End), "\u2026\u00e4\u00f6\u00fc");
  const std::string emoji = "\U0001F3B5\U0001F3B6\U0001F3B7";
  EXPECT_EQ(BoundedText(emoji, 2, KeptPart::End), "\u2026\U0001F3B7");
  const std::string stray = "a\x80\x80\x80\x80" "b";
  EXPECT_EQ(BoundedText(stray, 3, KeptPart::End), "\u2026\x80" "b");
  EXPECT_EQ(BoundedText(stray, 3, KeptPart::Start), "a\x80\u2026");
}

// Catches a message box of one line per refused entry (10,000 long lines in a list made
// a box taller than any screen) and lines kept whole.
TEST(BoundedText, MessageLinesAreCountedAndCut) {
  EXPECT_EQ(BoundedLines({"one", "two"}), "one\ntwo");
  std::vector<std::string> many(25, std::string(2000, 'x'));
  const std::string text = BoundedLines(many, 10, 100);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_TRUE(text.ends_with("\n... and 15 more")) << text.substr(text.size() - 40);
  EXPECT_LT(text.size(), 10u * 110 + 20);
}
