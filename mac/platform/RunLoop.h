// The main run loop: timers, delayed calls and nested runs on one thread, on a
// virtual clock (tests advance it explicitly; nothing sleeps) or on the real
// clock (programs). Tick counts (1/60 s) derive from the same clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace kw {

class RunLoop {
 public:
  using TimerId = uint64_t;
  enum class ClockKind { Virtual, Real };
  // Repeating timers fire at most this often: a shorter (or zero, negative or
  // NaN) interval would let the loop spin without the clock moving.
  static constexpr double kMinimumRepeatInterval = 0.0001;

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
  // scheduled. A timer may cancel itself or others from its action. A negative
  // or NaN delay counts as 0 and an infinite one never comes; a repeating
  // interval is at least kMinimumRepeatInterval. Times resolve to nanoseconds.
  // A repeating timer is due again at its previous due time plus the interval
  // (no drift); fire times that passed while its action ran (a nested run) are
  // skipped, and it never fires inside its own action.
  // An empty action schedules nothing and answers 0.
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
  // On the virtual clock the time then stands at the end of the run.
  void runFor(double seconds);
  // A nested run: runs timers until `done` answers true (checked before the
  // first and after every timer) or `timeout` seconds have passed. Answers
  // whether `done` became true. An empty `done` never becomes true. Without any
  // timer that can still come and without a finite timeout nothing could ever
  // change, so the run returns at once instead of waiting for ever. (A virtual
  // run without a finite end and with a repeating timer never ends.)
  bool runUntil(const std::function<bool()>& done, double timeout);
  // Virtual clock only: moves the clock forward without running anything.
  // Does nothing on the real clock or for a negative or NaN amount.
  void advanceClockWithoutFiring(double seconds);

 private:
  // Times are kept as whole nanoseconds since the loop was made, so that steps
  // of the virtual clock and timer due times add up exactly (ten runs of 0.1 s
  // reach a timer due at 1 s). kNever is a due time that never comes.
  using Nanos = int64_t;
  static constexpr Nanos kNever = INT64_MAX;
  struct Timer {
    Nanos interval;
    bool repeats;
    std::function<void()> action;
  };
  Nanos nowNanos() const;
  // Fires the earliest timer due at or before `limit` (and, on the real clock,
  // at or before now); answers false when none is.
  bool fireNextDue(Nanos limit);
  // Real clock: sleeps until `time`, at most an hour at once.
  void waitUntil(Nanos time);
  void enqueue(TimerId id, Nanos due, uint64_t sequence);
  void putBackRepeating(TimerId id, Nanos due, uint64_t sequence, std::function<void()> action);

  ClockKind kind_;
  Nanos virtualNow_ = 0;
  std::chrono::steady_clock::time_point realStart_;
  TimerId nextId_ = 1;
  std::map<TimerId, Timer> timers_;
  // (due time, sequence) -> timer; the sequence keeps equal times in order.
  std::map<std::pair<Nanos, uint64_t>, TimerId> queue_;
  std::map<TimerId, std::pair<Nanos, uint64_t>> queueKeyOf_;
  uint64_t sequence_ = 0;
};

}  // namespace kw
