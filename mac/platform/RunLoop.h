// The main run loop: timers, delayed calls and nested runs on one thread, on a
// virtual clock (tests advance it explicitly; nothing sleeps) or on the real
// clock (programs). Tick counts (1/60 s) derive from the same clock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace kw {

class RunLoop {
 public:
  using TimerId = uint64_t;
  enum class ClockKind { Virtual, Real };

  explicit RunLoop(ClockKind kind);
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  ClockKind clockKind() const { return kind_; }

  // Seconds since the loop was made.
  double now() const;
  // Ticks of 1/60 s since the loop was made (wraps at 2^32).
  uint32_t tickCount() const;

  // Calls `action` after `interval` seconds, and then every `interval` seconds
  // when `repeats`. Timers due at the same time fire in the order they were
  // scheduled. A timer may cancel itself or others from its action.
  TimerId scheduleTimer(double interval, bool repeats, std::function<void()> action);
  // A one-shot timer: performSelector:withObject:afterDelay:.
  TimerId performAfterDelay(double delay, std::function<void()> action) {
    return scheduleTimer(delay, false, std::move(action));
  }
  void cancel(TimerId timer);
  bool isScheduled(TimerId timer) const;
  size_t timerCount() const { return timers_.size(); }

  // Runs timers until `seconds` have passed. On the virtual clock the time
  // jumps from timer to timer; on the real clock the thread sleeps between them.
  void runFor(double seconds);
  // A nested run: runs timers until `done` answers true (checked after every
  // timer) or `timeout` seconds have passed. Answers whether `done` became true.
  bool runUntil(const std::function<bool()>& done, double timeout);
  // Virtual clock only: moves the clock forward without running anything.
  void advanceClockWithoutFiring(double seconds);

 private:
  struct Timer {
    double interval;
    bool repeats;
    std::function<void()> action;
  };
  // Fires the earliest timer due at or before `limit`; answers false when none is.
  bool fireNextDue(double limit);
  void waitUntil(double time);

  ClockKind kind_;
  double virtualNow_ = 0;
  double realStart_ = 0;
  TimerId nextId_ = 1;
  std::map<TimerId, Timer> timers_;
  // (due time, sequence) -> timer; the sequence keeps equal times in order.
  std::map<std::pair<double, uint64_t>, TimerId> queue_;
  std::map<TimerId, std::pair<double, uint64_t>> queueKeyOf_;
  uint64_t sequence_ = 0;
};

}  // namespace kw
