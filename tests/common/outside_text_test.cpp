// Tests of received text made fit to show: control characters out, 8-bit text read as
// ISO-8859-1.
#include "common/outside_text.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text_encoding.h"

// Catches a control character kept (C0, DEL, the C1 range as UTF-8: boxes in a window,
// escapes run in a terminal) or a neighbouring character lost with it.
TEST(OutsideText, ControlCharactersAreDroppedAndATabIsABlank) {
  EXPECT_EQ(WithoutControlChars("a\x1b[1mb\x07""c\x08""d\x7f""e\rf\ng"), "a[1mbcdefg");
  EXPECT_EQ(WithoutControlChars(std::string("x\0y", 3)), "xy");
  EXPECT_EQ(WithoutControlChars("tab\there"), "tab here");
  EXPECT_EQ(WithoutControlChars("csi\xC2\x9B""2J osc\xC2\x9D!"), "csi2J osc!");
  EXPECT_EQ(WithoutControlChars("nbsp\xC2\xA0\xC3\xA9\xE2\x82\xAC"), "nbsp\xC2\xA0\xC3\xA9\xE2\x82\xAC");
}

// Catches 8-bit text passed on as broken UTF-8, valid UTF-8 read a second time as
// ISO-8859-1, and control characters of either kept.
TEST(OutsideText, ShowableTextIsValidUtf8WithoutControls) {
  EXPECT_EQ(ShowableText("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(ShowableText("Caf\xE9\x1b Cr\xE8me\x85"), "Caf\xC3\xA9 Cr\xC3\xA8me");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string shown = ShowableText(all);
  EXPECT_TRUE(IsValidUtf8(shown));
  EXPECT_EQ(Utf8Length(shown), 256u - 32 - 1 - 32 + 1);  // C0, DEL and C1 gone, the tab a blank
}
