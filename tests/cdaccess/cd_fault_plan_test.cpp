// Simulated drive faults: the plan's syntax and the determinism of the drawn faults.
#include "cdaccess/cd_fault_plan.h"

#include <gtest/gtest.h>

namespace {

// Catches: a plan that silently reads as something else than written.
TEST(CdFaultPlanTest, ParsesEveryKey) {
  const auto plan = ParseCdFaultPlan("jitter=100,share=0.33,transient=3,bad=12000-12010,seed=7,delay=4");
  ASSERT_TRUE(plan.has_value());
  EXPECT_EQ(plan->jitterFrames, 100);
  EXPECT_DOUBLE_EQ(plan->jitterShare, 0.33);
  EXPECT_EQ(plan->transientErrors, 3);
  EXPECT_EQ(plan->badFirst, 12000);
  EXPECT_EQ(plan->badLast, 12010);
  EXPECT_EQ(plan->seed, 7u);
  EXPECT_EQ(plan->delayMs, 4);
  EXPECT_EQ(plan->readOffsetFrames, 0);
  EXPECT_TRUE(ParseCdFaultPlan("")->Empty());
  for (const auto& [text, frames] : {std::pair{"offset=667", 667}, {"offset=+667", 667}, {"offset=-30", -30}}) {
    const auto offset = ParseCdFaultPlan(text);
    ASSERT_TRUE(offset.has_value()) << text;
    EXPECT_EQ(offset->readOffsetFrames, frames) << text;
    EXPECT_FALSE(offset->Empty()) << text;
  }
  EXPECT_EQ(ParseCdFaultPlan("bad=5")->badLast, 5);
}

// Catches: typos that would turn a fault test into a clean run without anyone noticing.
TEST(CdFaultPlanTest, RejectsMalformedPlans) {
  for (const char* text : {"jiter=3", "jitter=-1", "share=1.5", "bad=9-3", "bad=x", "seed=", "transient", "offset=",
                           "offset=+", "offset=+-3", "offset=1.5", "offset=99999999999"})
    EXPECT_FALSE(ParseCdFaultPlan(text).has_value()) << text;
}

// Catches: re-reads of a simulated drive that always repeat the pass before them (a secure
// rip could then never see reads disagree), or a plan without `vary` that varies.
TEST(CdFaultPlanTest, VaryDrawsOtherFaultsOnEachOpening) {
  EXPECT_FALSE(ParseCdFaultPlan("vary=2").has_value());
  EXPECT_FALSE(ParseCdFaultPlan("jitter=9")->vary);
  const CdFaultPlan varying = *ParseCdFaultPlan("jitter=100,share=1,seed=5,vary=1");
  ASSERT_TRUE(varying.vary);
  CdFaultInjector first(varying), second(varying);
  int differing = 0;
  for (int i = 0; i < 50; ++i) differing += first.NextRead(i * 8, 8).jitterFrames != second.NextRead(i * 8, 8).jitterFrames;
  EXPECT_GT(differing, 40);
}

// Catches: faults that change from run to run, which would make failures unrepeatable.
TEST(CdFaultPlanTest, SameSeedSameFaults) {
  const CdFaultPlan plan = *ParseCdFaultPlan("jitter=100,share=0.5,transient=4,seed=11");
  CdFaultInjector a(plan), b(plan);
  int jittered = 0, failed = 0, largest = 0;
  bool previousFailed = false;
  for (int i = 0; i < 400; ++i) {
    const auto x = a.NextRead(i * 8, 8);
    const auto y = b.NextRead(i * 8, 8);
    EXPECT_EQ(x.fail, y.fail);
    EXPECT_EQ(x.jitterFrames, y.jitterFrames);
    jittered += x.jitterFrames != 0;
    failed += x.fail;
    largest = std::max(largest, std::abs(x.jitterFrames));
    EXPECT_FALSE(x.fail && previousFailed) << "a retry must succeed";
    previousFailed = x.fail;
  }
  EXPECT_EQ(failed, 4);
  EXPECT_GT(jittered, 150);
  EXPECT_LT(jittered, 250);
  EXPECT_LE(largest, 100);
}

// Catches: unreadable sectors that read fine on a retry or from a neighbouring request.
TEST(CdFaultPlanTest, BadSectorsFailEveryReadTouchingThem) {
  CdFaultInjector injector(*ParseCdFaultPlan("bad=100-102"));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(injector.NextRead(95, 8).permanent);
  EXPECT_TRUE(injector.NextRead(102, 1).fail);
  EXPECT_FALSE(injector.NextRead(103, 8).fail);
  EXPECT_FALSE(injector.NextRead(92, 8).fail);
}

}  // namespace
