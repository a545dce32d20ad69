// Tests of the UTF-8 / ISO-8859-1 conversions and the character-safe cut.
#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

// Catches a lossy or wrong mapping of the upper half of ISO-8859-1: every byte must
// survive a round trip through UTF-8.
TEST(TextEncoding, EveryLatin1ByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Latin1ToUtf8(all);
  EXPECT_EQ(Utf8Length(utf8), all.size());
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
  EXPECT_EQ(Latin1ToUtf8("Caf\xE9"), "Caf\xC3\xA9");
}

// Catches characters outside ISO-8859-1 leaking through as raw bytes, and broken input
// swallowing its neighbours.
TEST(TextEncoding, CharactersOutsideLatin1BecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToLatin1("\xE2\x82\xAC 5"), "? 5");                  // euro sign
  EXPECT_EQ(Utf8ToLatin1("a\xF0\x9F\x8E\xB5z"), "a?z");              // 4-byte character
  EXPECT_EQ(Utf8ToLatin1("a\xFFz"), "a?z");                          // invalid byte
  EXPECT_EQ(Utf8ToLatin1("a\xC3"), "a?");                            // cut sequence at the end
  EXPECT_EQ(Utf8ToLatin1("\xC0\xAF"), "??");                         // overlong form
  EXPECT_EQ(Utf8ToLatin1("\xED\xA0\x80"), "???");                    // surrogate
}

// Catches a cut that splits a multi-byte character or cuts more than needed.
TEST(TextEncoding, CutNeverSplitsACharacter) {
  const std::string text = "ab\xC3\xA9\xE2\x82\xAC";  // a b é €: 1+1+2+3 bytes
  EXPECT_EQ(CutUtf8(text, 100), text);
  EXPECT_EQ(CutUtf8(text, 7), text);
  EXPECT_EQ(CutUtf8(text, 6), "ab\xC3\xA9");
  EXPECT_EQ(CutUtf8(text, 4), "ab\xC3\xA9");
  EXPECT_EQ(CutUtf8(text, 3), "ab");
  EXPECT_EQ(CutUtf8(text, 0), "");
  EXPECT_EQ(CutUtf8("a\xFF\xFF", 2), "a\xFF");  // stray bytes count one each
}
