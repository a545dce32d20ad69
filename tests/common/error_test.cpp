// The one error type: cases of different modules never mix, and the texts a person reads.
#include "common/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace {

enum class FirstFault { A = 1, B = 2 };
enum class SecondFault { X = 2 };

// Two modules whose enums share a value (the old int codes collided this way) must not
// answer for each other's cases.
TEST(Error, CasesOfDifferentEnumsNeverCompareEqual) {
  Error error;
  error.WithCase(FirstFault::B);
  EXPECT_TRUE(error.Is(FirstFault::B));
  EXPECT_FALSE(error.Is(FirstFault::A));
  EXPECT_FALSE(error.Is(SecondFault::X));
  EXPECT_EQ(error.CaseOr(FirstFault::A), FirstFault::B);
  EXPECT_EQ(error.CaseOr(SecondFault::X), SecondFault::X);
  EXPECT_FALSE(Error{}.Is(FirstFault::A));
}

// An Io error carries the system's text as the reason and at the end of the message.
TEST(Error, IoErrorTextsAndPositions) {
  const Error error = IoError(ENOENT, "/x/a.wav", "Cannot open /x/a.wav");
  EXPECT_EQ(error.category, ErrorCategory::Io);
  EXPECT_EQ(error.errnum, ENOENT);
  EXPECT_EQ(error.reason, "No such file or directory");
  EXPECT_EQ(error.Message(), "Cannot open /x/a.wav: No such file or directory");
  EXPECT_EQ(error.subject, "/x/a.wav");
  EXPECT_FALSE(error.position.Known());

  EXPECT_EQ(PositionText(ErrorPosition::Byte(4096)), "byte 4096");
  EXPECT_EQ(PositionText(ErrorPosition::Sector(150)), "sector 150");
  EXPECT_EQ(PositionText(ErrorPosition::Line(3)), "line 3");
  EXPECT_EQ(PositionText(ErrorPosition{}), "");
}

// A Result carries the error out unchanged.
TEST(Error, TravelsThroughExpected) {
  auto fail = []() -> Expected<int> {
    Error error{ErrorCategory::Format, ErrorPosition::Frame(7), "bad frame"};
    return Fail(std::move(error.WithCase(FirstFault::A)));
  };
  const Expected<int> result = fail();
  ASSERT_FALSE(result.Ok());
  EXPECT_EQ(result.Error().category, ErrorCategory::Format);
  EXPECT_EQ(result.Error().position.value, 7u);
  EXPECT_TRUE(result.Error().Is(FirstFault::A));
}

}  // namespace
