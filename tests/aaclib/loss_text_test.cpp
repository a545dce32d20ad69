// The text of what a decode lost, shared by zbaacdec and the maker.
#include "aaclib/loss_text.h"

#include <gtest/gtest.h>

namespace zbaac {
namespace {

// Catches a wrong count word, a missing separator, or a loss left out of the text.
TEST(LossText, NamesEveryLossInOrder) {
  AacDecodeReport report{};
  EXPECT_EQ(LossText(report), "");

  report.framesSkipped = 1;
  report.bytesSkipped = 370;
  EXPECT_EQ(LossText(report), "skipped 1 damaged frame (370 bytes; silence in its place)");

  report.framesSkipped = 2;
  report.bytesSkipped = 740;
  report.bytesUnread = 12;
  report.bytesTruncated = 5;
  EXPECT_EQ(LossText(report),
            "skipped 2 damaged frames (740 bytes; silence in their place); ignored 12 bytes of trailing data; "
            "the last block is incomplete (5 bytes)");

  AacDecodeReport gap{};
  gap.bytesSkipped = 99;
  EXPECT_EQ(LossText(gap), "skipped 99 bytes without AAC frames");
}

}  // namespace
}  // namespace zbaac
