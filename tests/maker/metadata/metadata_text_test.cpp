// Character-safe cutting of UTF-8 texts.
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

}  // namespace
