// Run loop: timer order, repeating timers, cancellation, nested runs and the
// clocks, driven through the virtual clock.
#include "mac/platform/RunLoop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace kw {
namespace {

TEST(RunLoopTest, FiresOneShotTimersInDueOrderAndEqualTimesInSchedulingOrder) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  std::vector<std::string> fired;
  const auto a = loop.performAfterDelay(0.3, [&] { fired.push_back("a"); });
  loop.performAfterDelay(0.1, [&] { fired.push_back("b"); });
  loop.performAfterDelay(0.1, [&] { fired.push_back("c"); });
  loop.scheduleTimer(0.2, false, [&] { fired.push_back("d"); });
  EXPECT_EQ(loop.timerCount(), 4u);

  loop.runFor(0.25);
  EXPECT_EQ(fired, (std::vector<std::string>{"b", "c", "d"}));
  EXPECT_DOUBLE_EQ(loop.now(), 0.25);
  EXPECT_EQ(loop.timerCount(), 1u);
  EXPECT_TRUE(loop.isScheduled(a));

  loop.runFor(0.05);  // a is due at exactly the end of this run
  EXPECT_EQ(fired.back(), "a");
  EXPECT_FALSE(loop.isScheduled(a));
  EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(RunLoopTest, RepeatingTimerFiresAtMultiplesOfItsIntervalWithoutDrift) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  std::vector<double> fireTimes;
  // Each action "takes" 30 ms; the next fire time must not move by it.
  loop.scheduleTimer(0.1, true, [&] {
    fireTimes.push_back(loop.now());
    loop.advanceClockWithoutFiring(0.03);
  });
  for (int step = 0; step < 10; ++step) loop.runFor(0.1);
  ASSERT_EQ(fireTimes.size(), 10u);
  for (size_t i = 0; i < fireTimes.size(); ++i) {
    EXPECT_NEAR(fireTimes[i], 0.1 * static_cast<double>(i + 1), 1e-9) << "fire " << i;
  }
  EXPECT_EQ(loop.timerCount(), 1u);

  // A timer scheduled later at the same due time fires after the repeating one.
  std::vector<std::string> order;
  RunLoop other(RunLoop::ClockKind::Virtual);
  other.scheduleTimer(0.1, true, [&] { order.push_back("repeat"); });
  other.runFor(0.15);
  other.performAfterDelay(0.05, [&] { order.push_back("once"); });
  other.runFor(0.05);
  EXPECT_EQ(order, (std::vector<std::string>{"repeat", "repeat", "once"}));
}

TEST(RunLoopTest, CancellingFromInsideActionsIsSafe) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  // The counter lives in the action's captures: were the action destroyed while
  // running, reading it after cancel would be a use after free.
  auto selfCancelling = std::make_shared<int>(0);
  RunLoop::TimerId self = 0;
  self = loop.scheduleTimer(0.1, true, [&loop, &self, selfCancelling] {
    if (*selfCancelling == 2) loop.cancel(self);
    ++*selfCancelling;
  });

  int victimFired = 0;
  RunLoop::TimerId victim = 0;
  loop.scheduleTimer(0.5, false, [&] { loop.cancel(victim); });
  victim = loop.scheduleTimer(0.5, false, [&] { ++victimFired; });  // same due time, later in line

  RunLoop::TimerId oneShot = 0;
  int oneShotFired = 0;
  oneShot = loop.performAfterDelay(0.2, [&] {
    ++oneShotFired;
    loop.cancel(oneShot);  // already out of the table: nothing happens
  });

  loop.runFor(1.0);
  EXPECT_EQ(*selfCancelling, 3);
  EXPECT_FALSE(loop.isScheduled(self));
  EXPECT_EQ(victimFired, 0);
  EXPECT_EQ(oneShotFired, 1);
  EXPECT_EQ(loop.timerCount(), 0u);
  loop.cancel(12345);  // unknown ids are ignored
}

TEST(RunLoopTest, ActionsMayScheduleTimersThatFireInTheSameRun) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  std::vector<double> fired;
  loop.performAfterDelay(0.1, [&] {
    loop.performAfterDelay(0, [&] { fired.push_back(loop.now()); });
    loop.performAfterDelay(0.2, [&] { fired.push_back(loop.now()); });
    loop.performAfterDelay(5, [&] { fired.push_back(loop.now()); });
  });
  loop.runFor(1.0);
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_NEAR(fired[0], 0.1, 1e-9);
  EXPECT_NEAR(fired[1], 0.3, 1e-9);
  EXPECT_EQ(loop.timerCount(), 1u);
}

TEST(RunLoopTest, NestedRunServesOtherTimersButNotTheRunningOne) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  int poll = 0;
  loop.scheduleTimer(0.05, true, [&] { ++poll; });

  bool transferDone = false;
  bool nestedResult = false;
  double nestedEnd = 0;
  std::vector<double> outerFires;
  loop.scheduleTimer(0.1, true, [&] {
    outerFires.push_back(loop.now());
    if (outerFires.size() != 1) return;
    // The transfer ends at 0.35; the loop runs nested until then.
    loop.performAfterDelay(0.25, [&] { transferDone = true; });
    nestedResult = loop.runUntil([&] { return transferDone; }, 10);
    nestedEnd = loop.now();
  });

  loop.runFor(0.1);
  EXPECT_TRUE(nestedResult);
  EXPECT_NEAR(nestedEnd, 0.35, 1e-9);
  ASSERT_EQ(outerFires.size(), 1u);  // not re-entered at 0.2 and 0.3
  // 0.05 before, 0.1 .. 0.3 during the nested run; at 0.35 the transfer's end
  // (scheduled earlier) comes first and ends the nested run.
  EXPECT_EQ(poll, 6);

  // The fire times missed during the nested run are skipped; the phase stays.
  loop.runFor(0.1);
  ASSERT_EQ(outerFires.size(), 2u);
  EXPECT_NEAR(outerFires[1], 0.4, 1e-9);
  EXPECT_EQ(poll, 9);

  // A nested run that times out answers false and ends at its deadline.
  const double before = loop.now();
  EXPECT_FALSE(loop.runUntil([] { return false; }, 2.0));
  EXPECT_NEAR(loop.now(), before + 2.0, 1e-9);
  // A condition that already holds returns at once.
  const double at = loop.now();
  EXPECT_TRUE(loop.runUntil([] { return true; }, 2.0));
  EXPECT_EQ(loop.now(), at);
}

TEST(RunLoopTest, GuardsAgainstBadIntervalsAndEndlessRuns) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  // Repeating timers with no usable interval fire at the minimum interval.
  int fired[4] = {};
  const double intervals[4] = {0, -1, std::nan(""), 1e-300};
  for (int i = 0; i < 4; ++i) loop.scheduleTimer(intervals[i], true, [&fired, i] { ++fired[i]; });
  loop.runFor(10 * RunLoop::kMinimumRepeatInterval);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(fired[i], 10) << intervals[i];

  RunLoop other(RunLoop::ClockKind::Virtual);
  EXPECT_EQ(other.scheduleTimer(1, false, nullptr), 0u);
  EXPECT_EQ(other.timerCount(), 0u);

  // Negative and NaN delays are "now"; a run of a negative or NaN length runs
  // what is due now and never moves the clock back.
  int immediate = 0;
  other.performAfterDelay(-3, [&] { ++immediate; });
  other.performAfterDelay(std::nan(""), [&] { ++immediate; });
  other.runFor(-1);
  EXPECT_EQ(immediate, 2);
  EXPECT_EQ(other.now(), 0.0);
  other.runFor(std::nan(""));
  other.advanceClockWithoutFiring(-5);
  EXPECT_EQ(other.now(), 0.0);

  // An infinite delay never comes, and a run without end and without anything
  // that could ever fire returns instead of hanging.
  int never = 0;
  const auto infinite = other.performAfterDelay(std::numeric_limits<double>::infinity(), [&] { ++never; });
  other.runFor(1e12);
  EXPECT_EQ(never, 0);
  EXPECT_TRUE(other.isScheduled(infinite));
  const double before = other.now();
  EXPECT_FALSE(other.runUntil([] { return false; }, std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(other.runUntil(nullptr, std::numeric_limits<double>::infinity()));
  EXPECT_EQ(other.now(), before);
  // A huge delay added to a huge clock saturates instead of overflowing.
  other.performAfterDelay(1e300, [&] { ++never; });
  other.runFor(1e300);
  EXPECT_EQ(never, 0);
}

TEST(RunLoopTest, TickCountIsSixtiethsOfTheClockAndWraps) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  EXPECT_EQ(loop.tickCount(), 0u);
  loop.advanceClockWithoutFiring(1.0 / 60 - 0.001);
  EXPECT_EQ(loop.tickCount(), 0u);  // truncated, not rounded
  loop.advanceClockWithoutFiring(0.001);
  EXPECT_EQ(loop.tickCount(), 1u);
  loop.runFor(1.0);
  EXPECT_EQ(loop.tickCount(), 61u);

  RunLoop longRunning(RunLoop::ClockKind::Virtual);
  longRunning.advanceClockWithoutFiring(71582788.0);  // 4294967280 ticks
  EXPECT_EQ(longRunning.tickCount(), 4294967280u);
  longRunning.advanceClockWithoutFiring(0.5);  // 30 more: past 2^32
  EXPECT_EQ(longRunning.tickCount(), 14u);
}

TEST(RunLoopTest, RealClockWithNothingScheduledReturnsAtOnce) {
  RunLoop loop(RunLoop::ClockKind::Real);
  EXPECT_EQ(loop.clockKind(), RunLoop::ClockKind::Real);
  EXPECT_FALSE(loop.runUntil(nullptr, std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace kw
