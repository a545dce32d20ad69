// Options of the terminal front end.
#include "maker/batch/batch_options.h"

#include <gtest/gtest.h>

// Catches front-end options leaking into the maker's own command line, or its switches
// and files being taken for front-end options.
TEST(BatchOptions, SplitsFrontEndOptionsFromTheJobArguments) {
  auto parsed = ParseBatchOptions({"--batch", "-128", "--aac", "a.wav", "-js", "--yes", "--", "--odd.wav"});
  ASSERT_TRUE(parsed.Ok());
  const BatchOptions& o = parsed.Value();
  EXPECT_TRUE(o.batch);
  EXPECT_TRUE(o.aac);
  EXPECT_TRUE(o.yes);
  EXPECT_FALSE(o.mp32wav);
  EXPECT_EQ(o.jobArgs, (std::vector<std::string>{"-128", "a.wav", "-js", "--odd.wav"}));
}

// Catches a slot outside 0..9, a missing value or an unknown option being accepted.
TEST(BatchOptions, RejectsBadValuesAndUnknownOptions) {
  auto both = ParseBatchOptions({"--external", "3", "--external=9"});
  ASSERT_TRUE(both.Ok());
  EXPECT_EQ(both.Value().external, 9);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--external", "10"}, {"--external", "x"}, {"--external"}, {"--bogus"}, {"--yes=1"}}) {
    auto parsed = ParseBatchOptions(args);
    EXPECT_FALSE(parsed.Ok()) << args[0];
  }
  EXPECT_EQ(ParseBatchOptions({"--bogus"}).Error().message, "unknown option --bogus");
}

// Catches options missing from the usage text.
TEST(BatchOptions, UsageListsEveryOption) {
  const std::string usage = BatchUsage();
  for (const char* name : {"--batch", "--mp32wav", "--aac", "--external N", "--yes", "-delete", "-vbrN"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}
