// The main run loop: a time-ordered timer queue fired on a virtual or a real
// clock, re-entrant so that an action may run a nested loop.
#include "mac/platform/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

namespace kw {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;
// The longest single sleep; longer waits are taken in several steps.
constexpr int64_t kLongestSleep = 3600 * kNanosPerSecond;

// Seconds as nanoseconds: NaN and negatives are 0, too large or infinite
// amounts saturate at INT64_MAX (which as a due time never comes).
int64_t toNanos(double seconds) {
  if (!(seconds > 0)) return 0;
  const double nanos = seconds * 1e9;
  if (nanos >= 9.2e18) return INT64_MAX;
  return std::llround(nanos);
}

// a + b for non-negative values, saturating at INT64_MAX.
int64_t addSaturated(int64_t a, int64_t b) { return b >= INT64_MAX - a ? INT64_MAX : a + b; }

}  // namespace

RunLoop::RunLoop(ClockKind kind) : kind_(kind), realStart_(std::chrono::steady_clock::now()) {}

RunLoop::~RunLoop() = default;

RunLoop::Nanos RunLoop::nowNanos() const {
  if (kind_ == ClockKind::Virtual) return virtualNow_;
  const auto elapsed = std::chrono::steady_clock::now() - realStart_;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
}

double RunLoop::now() const { return static_cast<double>(nowNanos()) / 1e9; }

uint32_t RunLoop::tickCount() const {
  const int64_t nanos = nowNanos();
  // Split into whole seconds and the rest so that nothing overflows.
  const int64_t ticks = nanos / kNanosPerSecond * 60 + nanos % kNanosPerSecond * 60 / kNanosPerSecond;
  return static_cast<uint32_t>(static_cast<uint64_t>(ticks));  // wraps at 2^32
}

void RunLoop::enqueue(TimerId id, Nanos due, uint64_t sequence) {
  const std::pair<Nanos, uint64_t> key{due, sequence};
  queue_.emplace(key, id);
  queueKeyOf_[id] = key;
}

RunLoop::TimerId RunLoop::scheduleTimer(double interval, bool repeats, std::function<void()> action) {
  if (!action) return 0;
  Nanos delay = toNanos(interval);
  if (repeats) delay = std::max(delay, toNanos(kMinimumRepeatInterval));
  const TimerId id = nextId_++;
  timers_.emplace(id, Timer{delay, repeats, std::move(action)});
  enqueue(id, addSaturated(nowNanos(), delay), sequence_++);
  return id;
}

void RunLoop::cancel(TimerId timer) {
  const auto key = queueKeyOf_.find(timer);
  if (key != queueKeyOf_.end()) {
    queue_.erase(key->second);
    queueKeyOf_.erase(key);
  }
  // A repeating timer whose action is running has no queue entry; erasing it
  // here tells putBackRepeating not to put it back.
  timers_.erase(timer);
}

bool RunLoop::isScheduled(TimerId timer) const { return timers_.count(timer) != 0; }

void RunLoop::putBackRepeating(TimerId id, Nanos due, uint64_t sequence, std::function<void()> action) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;  // cancelled by its action
  it->second.action = std::move(action);
  const Nanos interval = it->second.interval;  // at least the minimum, so > 0
  Nanos next = addSaturated(due, interval);
  const Nanos current = nowNanos();
  if (next < current) {
    // Skip the fire times that passed while the action ran, keeping the phase:
    // the next one is the first at or after now.
    const int64_t steps = (current - due - 1) / interval + 1;
    next = addSaturated(due, steps > INT64_MAX / interval ? INT64_MAX : steps * interval);
  }
  enqueue(id, next, sequence);
}

bool RunLoop::fireNextDue(Nanos limit) {
  if (queue_.empty()) return false;
  const auto first = queue_.begin();
  const Nanos due = first->first.first;
  if (due == kNever || due > limit) return false;
  if (kind_ == ClockKind::Real && due > nowNanos()) return false;

  const TimerId id = first->second;
  queue_.erase(first);
  queueKeyOf_.erase(id);
  if (kind_ == ClockKind::Virtual) virtualNow_ = std::max(virtualNow_, due);

  const auto found = timers_.find(id);
  if (found == timers_.end()) return true;  // not reached: cancel removes both entries
  Timer& timer = found->second;
  // The action may cancel or schedule anything, itself included, so it is
  // moved out of the table before it runs.
  std::function<void()> action = std::move(timer.action);
  if (!timer.repeats) {
    timers_.erase(found);
    action();
    return true;
  }

  // A repeating timer stays scheduled while its action runs but is out of the
  // queue, so a nested run inside the action does not fire it again. Its place
  // among timers due at the same time is taken now.
  const uint64_t sequence = sequence_++;
  struct PutBack {
    RunLoop& loop;
    TimerId id;
    Nanos due;
    uint64_t sequence;
    std::function<void()>& action;
    ~PutBack() { loop.putBackRepeating(id, due, sequence, std::move(action)); }
  } putBack{*this, id, due, sequence, action};
  action();
  return true;
}

void RunLoop::waitUntil(Nanos time) {
  const Nanos current = nowNanos();
  if (time <= current) return;
  const Nanos target = current + std::min(time - current, kLongestSleep);
  std::this_thread::sleep_until(realStart_ + std::chrono::nanoseconds(target));
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeout) {
  const auto isDone = [&done] { return done && done(); };
  const Nanos end = addSaturated(nowNanos(), toNanos(timeout));
  while (!isDone()) {
    if (fireNextDue(end)) continue;
    const Nanos nextDue = queue_.empty() ? kNever : queue_.begin()->first.first;
    if (nextDue == kNever && end == kNever) return false;  // nothing can ever happen
    if (kind_ == ClockKind::Virtual) {
      // No timer is due before the end: the time jumps there.
      if (end != kNever) virtualNow_ = std::max(virtualNow_, end);
      return isDone();
    }
    if (nowNanos() >= end) return isDone();
    waitUntil(std::min(nextDue, end));
  }
  return true;
}

void RunLoop::runFor(double seconds) { runUntil(nullptr, seconds); }

void RunLoop::advanceClockWithoutFiring(double seconds) {
  if (kind_ != ClockKind::Virtual) return;
  virtualNow_ = addSaturated(virtualNow_, toNanos(seconds));
}

}  // namespace kw
