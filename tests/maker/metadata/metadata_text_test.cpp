// Character-safe cutting and ISO-8859-1 conversion.
#include "maker/metadata/metadata_text.h"

#include <gtest/gtest.h>

namespace {

// Catches: cutting in the middle of a multi-byte character (invalid UTF-8 in names).
TEST(MetadataText, CutKeepsWholeCharacters) {
  const std::string text = "a\xE2\x82\xAC" "b\xF0\x9F\x8E\xB5";  // a € b 🎵
  EXPECT_EQ(CutUtf8Chars(text, 0), "");
  EXPECT_EQ(CutUtf8Chars(text, 1), "a");
  EXPECT_EQ(CutUtf8Chars(text, 2), "a\xE2\x82\xAC");
  EXPECT_EQ(CutUtf8Chars(text, 4), text);
  EXPECT_EQ(CutUtf8Chars(text, 10), text);
}

// Catches: Latin-1 bytes passed through as invalid UTF-8.
TEST(MetadataText, Latin1BecomesUtf8) {
  EXPECT_EQ(Latin1ToUtf8("Caf\xE9 \xFF\x7F"), "Caf\xC3\xA9 \xC3\xBF\x7F");
  EXPECT_EQ(Latin1ToUtf8(""), "");
}

}  // namespace
