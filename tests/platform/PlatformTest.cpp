// Tests of the platform stand-ins: the run loop on its virtual clock, the
// notification centre, bundles on disk and QuickDraw ports. Loading a real
// plug-in bundle is proven end to end (tests/e2e).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>

#include "mac/platform/Bundle.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/QuickDraw.h"
#include "mac/platform/RunLoop.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;
using Names = std::vector<std::string>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(RunLoop, FiresTimersInDueOrderAndEqualTimesInSchedulingOrder) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  Names fired;
  const auto note = [&](std::string name) { return [&fired, name] { fired.push_back(name); }; };
  const auto last = loop.performAfterDelay(0.3, note("a"));
  loop.performAfterDelay(0.1, note("b"));
  loop.performAfterDelay(0.1, note("c"));
  loop.scheduleTimer(0.2, false, [&] {
    fired.push_back("d");  // timers an action schedules fire in the same run when due
    loop.performAfterDelay(0, note("d+0"));
    loop.performAfterDelay(0.2, note("d+0.2"));
  });
  loop.runFor(0.25);
  EXPECT_EQ(fired, (Names{"b", "c", "d", "d+0"}));
  loop.runFor(0.05);  // "a" is due at exactly the end of this run
  EXPECT_TRUE(fired.back() == "a" && !loop.isScheduled(last));
  loop.runFor(0.1);
  EXPECT_TRUE(fired.back() == "d+0.2" && loop.timerCount() == 0);

  // A repeating timer takes its place among equal due times when it fires.
  Names order;
  RunLoop other(RunLoop::ClockKind::Virtual);
  other.scheduleTimer(0.1, true, [&] { order.push_back("repeat"); });
  other.runFor(0.15);
  other.performAfterDelay(0.05, [&] { order.push_back("once"); });
  other.runFor(0.05);
  EXPECT_EQ(order, (Names{"repeat", "repeat", "once"}));
}

TEST(RunLoop, RepeatingTimersKeepTheirPhaseAndNestedRunsSkipTheRunningOne) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  int poll = 0;
  loop.scheduleTimer(0.05, true, [&] {
    ++poll;
    loop.advanceClockWithoutFiring(0.01);  // the action "takes" 10 ms; no drift follows
  });
  bool done = false, nested = false;
  std::vector<double> outer;
  loop.scheduleTimer(0.1, true, [&] {
    outer.push_back(loop.now());
    if (outer.size() != 1) return;
    loop.performAfterDelay(0.25, [&] { done = true; });  // at 0.35
    nested = loop.runUntil([&] { return done; }, 10);
    EXPECT_NEAR(loop.now(), 0.35, 1e-9);
  });
  loop.runFor(0.1);
  // 0.05 before, 0.1 .. 0.3 during the nested run; at 0.35 the transfer's end
  // (scheduled earlier) comes first and ends it. The outer timer was not re-entered.
  EXPECT_EQ(std::make_tuple(nested, poll, outer.size()), std::make_tuple(true, 6, 1u));
  loop.runFor(0.1);  // fire times missed during the nested run are skipped; the phase stays
  EXPECT_EQ(outer, (std::vector<double>{0.1, 0.4}));
  EXPECT_EQ(poll, 9);

}

TEST(RunLoop, CancellingFromInsideActionsIsSafe) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  // The counter lives in the action's captures: were the action destroyed while
  // running, reading it after cancel would be a use after free.
  auto count = std::make_shared<int>(0);
  RunLoop::TimerId self = 0, victim = 0, oneShot = 0;
  self = loop.scheduleTimer(0.1, true, [&loop, &self, count] {
    if (*count == 2) loop.cancel(self);
    ++*count;
  });
  int victimFired = 0;
  loop.scheduleTimer(0.5, false, [&] { loop.cancel(victim); });
  victim = loop.scheduleTimer(0.5, false, [&] { ++victimFired; });  // same due time, later in line
  oneShot = loop.performAfterDelay(0.2, [&] { loop.cancel(oneShot); });  // already out: nothing happens
  loop.runFor(1.0);
  loop.cancel(12345);  // unknown ids are ignored
  EXPECT_EQ(std::make_tuple(*count, victimFired, loop.timerCount()), std::make_tuple(3, 0, 0u));
}

TEST(RunLoop, GuardsAgainstBadIntervalsEndlessRunsAndOverflow) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  int fired[2] = {};  // repeating timers with no usable interval fire at the minimum interval
  const double intervals[2] = {-1, std::nan("")};
  for (int i = 0; i < 2; ++i) loop.scheduleTimer(intervals[i], true, [&fired, i] { ++fired[i]; });
  loop.runFor(10 * RunLoop::kMinimumRepeatInterval);
  EXPECT_TRUE(fired[0] == 10 && fired[1] == 10);

  RunLoop other(RunLoop::ClockKind::Virtual);
  EXPECT_EQ(other.scheduleTimer(1, false, nullptr), 0u);
  // Negative and NaN delays are "now"; negative and NaN runs and steps never move the clock back.
  int now = 0, never = 0;
  other.performAfterDelay(std::nan(""), [&] { ++now; });
  other.runFor(-1);
  other.advanceClockWithoutFiring(std::nan(""));
  EXPECT_EQ(now, 1);
  // An infinite delay never comes, a huge one saturates instead of overflowing, and an
  // endless run with nothing that can come returns at once, on either clock.
  other.performAfterDelay(kInfinity, [&] { ++never; });
  other.performAfterDelay(1e300, [&] { ++never; });
  other.runFor(1e300);
  EXPECT_FALSE(other.runUntil([] { return false; }, kInfinity));
  EXPECT_FALSE(RunLoop(RunLoop::ClockKind::Real).runUntil(nullptr, kInfinity));
  EXPECT_EQ(std::make_tuple(never, other.timerCount(), other.now()), std::make_tuple(0, 2u, 0.0));

  // Ticks are sixtieths, truncated, and wrap at 2^32.
  RunLoop ticks(RunLoop::ClockKind::Virtual), wrapping(RunLoop::ClockKind::Virtual);
  ticks.advanceClockWithoutFiring(1.0 / 60 - 0.001);
  EXPECT_EQ(ticks.tickCount(), 0u);
  wrapping.advanceClockWithoutFiring(71582788.5);  // 4294967280 ticks and 30 more
  EXPECT_EQ(wrapping.tickCount(), 14u);
}

TEST(NotificationCenter, DeliversByExactNameInOrderWhileObserversChange) {
  NotificationCenter center;
  Names calls;
  NotificationCenter::ObserverId self = 0, later = 0;
  int window = 7;
  // Removes itself and a later observer, adds one and posts another notification.
  // The counter lives in the handler's captures: it must survive its own removal.
  auto count = std::make_shared<int>(0);
  self = center.addObserver(notification::kAddWindowToList, [&, count](const std::any& object) {
    center.removeObserver(self);
    center.removeObserver(later);
    center.addObserver(notification::kAddWindowToList, [&](const std::any&) { calls.push_back("added"); });
    center.post("inner", std::string("payload"));
    calls.push_back(std::to_string(*std::any_cast<int*>(object)) + ":" + std::to_string(++*count));
  });
  later = center.addObserver(notification::kAddWindowToList, [&](const std::any&) { calls.push_back("later"); });
  center.addObserver("inner", [&](const std::any& object) { calls.push_back(std::any_cast<std::string>(object)); });
  // A handler's mutable state is its own, not a copy made for each post.
  center.addObserver(notification::kAddWindowToList,
                     [&, posts = 0](const std::any&) mutable { calls.push_back("n" + std::to_string(++posts)); });
  center.post(notification::kAddWindowToList, &window);
  center.post(std::string(notification::kAddWindowToList) + "X");
  center.removeObserver(self);
  center.removeObserver(9999);
  center.post(notification::kAddWindowToList, &window);
  EXPECT_EQ(calls, (Names{"payload", "7:1", "n1", "n2", "added"}));
}

class BundleTest : public ::testing::Test {
 protected:
  // NAME/Contents/Info.plist holding a dictionary with `entries`.
  fs::path make(const std::string& name, const std::string& entries) {
    const fs::path bundle = dir_.path() / name;
    fs::create_directories(bundle / "Contents" / "Resources");
    const std::string text = "<plist version=\"1.0\"><dict>" + entries + "</dict></plist>\n";
    test::writeFile(bundle / "Contents" / "Info.plist", std::vector<uint8_t>(text.begin(), text.end()));
    return bundle;
  }
  static std::string executable(const std::string& name) {
    return "<key>CFBundleExecutable</key><string>" + name + "</string>";
  }
  test::TempDir dir_;
};

TEST_F(BundleTest, OpensDirectoriesWithContentsAndRefusesNamesThatLeadElsewhere) {
  fs::create_directories(dir_.path() / "empty.plugin");
  for (const fs::path& path :
       {dir_.path() / "missing", fs::path(), dir_.write("file", {'x'}), dir_.path() / "empty.plugin"}) {
    EXPECT_FALSE(Bundle::open(path)) << path;
  }
  const fs::path app = make("Movie.app", "<key>Id</key><string>org.test</string><key>N</key><integer>12</integer>");
  const fs::path resources = app / "Contents" / "Resources";
  fs::create_directories(resources / "fpb.plugin");
  test::writeFile(resources / "zvdata.zve", {'m'});
  test::writeFile(app / "Contents" / "secret.txt", {'s'});
  const auto bundle = Bundle::open(app);
  EXPECT_EQ(bundle->infoString("Id"), "org.test");
  for (std::string_view key : {"N"sv, "Id\0x"sv}) EXPECT_FALSE(bundle->infoString(key)) << key;  // no string; a NUL
  EXPECT_EQ(bundle->pathForResource("zvdata.zve", ""), resources / "zvdata.zve");
  EXPECT_EQ(bundle->pathForResource("fpb", "plugin"), resources / "fpb.plugin");
  for (const auto& [name, type] : {std::pair{"zvdata"sv, "swf"sv}, {"../secret"sv, "txt"sv}, {"zvdata\0x"sv, "zve"sv}}) {
    EXPECT_FALSE(bundle->pathForResource(name, type)) << name;
  }
  // The executable lives in Contents/MacOS itself.
  EXPECT_FALSE(Bundle::open(make("B", executable("../../evil")))->executablePath());
  const std::time_t when = 1'000'000'000;
  fs::last_write_time(app, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
  EXPECT_EQ(bundle->modificationTime(), when);
  fs::remove_all(app);
  EXPECT_FALSE(bundle->modificationTime());
}

TEST_F(BundleTest, ReportsWhyCodeCannotBeLoaded) {
  const auto failure = [](const fs::path& path) {
    std::string error;
    EXPECT_EQ(LoadedCode::load(*Bundle::open(path), &error), nullptr);
    return error;
  };
  EXPECT_NE(failure(make("NoName.plugin", "")).find("names no executable"), std::string::npos);
  const fs::path bundle = make("Garbage.plugin", executable("TestPlugin"));
  const fs::path binary = bundle / "Contents" / "MacOS" / "TestPlugin";
  EXPECT_NE(failure(bundle).find("executable not found: " + binary.string()), std::string::npos);
  fs::create_directories(binary.parent_path());
  test::writeFile(binary, std::vector<uint8_t>(4096, 0x5A));
  const std::string reason = failure(bundle);  // the loader's own reason
  EXPECT_TRUE(!reason.empty() && reason.find("not found") == std::string::npos) << reason;
}

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000;
size_t reds(const GrafPort& port) {
  return static_cast<size_t>(std::count(port.pixels.begin(), port.pixels.end(), kRed));
}

TEST(QuickDraw, FillsOnlyInsideTheClipAndTheBufferAtAnyOrigin) {
  GrafPort port(4, 3);
  port.setOrigin(10, 20);
  // The clip stays on the same pixels, so its local coordinates move with the origin.
  EXPECT_EQ(port.clip, (QDRect{20, 10, 23, 14}));
  EXPECT_EQ(port.pixelAt(13, 22), &port.pixels[11]);
  port.clip = {21, 11, 22, 14};
  port.fillRect({-32768, -32768, 32767, 32767}, kRed);  // only local (11..13, 21) of the clip
  port.fillRect({0, 0, 3, 4}, kRed);                    // the old local rectangle is now off the port
  port.fillRect({23, 13, 21, 11}, kRed);                // inverted: nothing
  EXPECT_EQ(port.pixels, (std::vector<uint32_t>{kBlack, kBlack, kBlack, kBlack, kBlack, kRed, kRed, kRed, kBlack,
                                                 kBlack, kBlack, kBlack}));
  port.setOrigin(32767, -32768);
  EXPECT_EQ(port.pixelAt(32767, -32768), &port.pixels[0]);
  port.fillRect({-32768, 32767, -32767, 32767}, kRed);  // zero width at the ends of the range
  EXPECT_EQ(reds(port), 3u);
}

TEST(QuickDraw, PixelLookupsAndFillsNeverLeaveTheBuffer) {
  GrafPort port(3, 2);
  for (const auto& [h, v] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}}) EXPECT_EQ(port.pixelAt(h, v), nullptr);
  // The ends of the 32-bit range with an origin away from 0: local minus origin must not overflow.
  for (const auto& [h0, v0] : {std::pair<int16_t, int16_t>{5, -5}, {-5, 5}}) {
    port.setOrigin(h0, v0);
    for (int32_t h : {INT32_MIN, INT32_MAX}) EXPECT_TRUE(!port.pixelAt(h, h) && !port.pixelAt(h, 0)) << h;
  }
  GrafPort shrunk(4, 4);  // a buffer that disagrees with its size
  shrunk.pixels.resize(6);
  EXPECT_EQ(shrunk.pixelAt(2, 1), nullptr);
  shrunk.fillRect({0, 0, 4, 4}, kRed);
  EXPECT_EQ(reds(shrunk), 6u);
  GrafPort tall(0, INT32_MAX);  // origin plus height passes INT32_MAX
  tall.setOrigin(0, 100);
  tall.fillRect({0, 0, 32767, 32767}, kRed);
  EXPECT_TRUE(tall.pixels.empty());
}

}  // namespace
}  // namespace kw
