// Character-safe cutting of UTF-8 texts; case-blind prefixes.
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

// Catches: a prefix test that reads past a shorter text, or that ignores case in more
// than letters.
TEST(MetadataText, PrefixIgnoresOnlyTheCaseOfLetters) {
  const struct {
    const char* text;
    const char* prefix;
    bool starts;
  } cases[] = {
      {"HTTP://host", "http://", true}, {"dTitle=x", "DTITLE", true}, {"", "", true},
      {"http:/", "http://", false},     {"ttitle", "DTITLE", false},  {"http:\\", "http://", false},
  };
  for (const auto& c : cases) EXPECT_EQ(StartsWithNoCase(c.text, c.prefix), c.starts) << c.text;
}

}  // namespace
