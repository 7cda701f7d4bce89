// Runs libcurl transfers on the main run loop: one multi handle, serviced by a
// run-loop timer while transfers are active, so that every libcurl callback
// (header, data, progress, end) arrives on the main thread between other
// run-loop work, never on a thread of its own. Transfers need the real clock
// to make progress in real time; on the virtual clock each service turn
// advances the loop by the poll interval.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <map>

#include "mac/platform/RunLoop.h"

namespace kw {

class CurlDriver {
 public:
  // How often an active driver services its transfers, and how long one
  // service turn may keep moving data while sockets are ready.
  static constexpr double kPollInterval = 0.001;
  static constexpr std::chrono::microseconds kTurnBudget{2000};

  explicit CurlDriver(RunLoop& runLoop);
  // Removes every transfer still running (their end calls are not made).
  ~CurlDriver();
  CurlDriver(const CurlDriver&) = delete;
  CurlDriver& operator=(const CurlDriver&) = delete;

  using Done = std::function<void(CURLcode result)>;
  // Starts a transfer whose easy handle the caller has configured (and keeps
  // owning). `done` runs once, from the run loop, when it ends; the handle is
  // out of the driver by then and may be cleaned up or re-added from `done`.
  // False when libcurl refuses the handle.
  bool add(CURL* easy, Done done);
  // Stops a transfer without calling its `done`. Unknown handles are ignored.
  void remove(CURL* easy);
  bool isRunning(CURL* easy) const { return transfers_.count(easy) != 0; }
  size_t activeTransfers() const { return transfers_.size(); }

  // One service turn: lets libcurl move every transfer and reports the ended
  // ones. The timer calls it; nested runs (a modal transfer) may call it too.
  void service();

  RunLoop& runLoop() const { return runLoop_; }

 private:
  void startTimer();
  void stopTimerIfIdle();

  RunLoop& runLoop_;
  CURLM* multi_;
  std::map<CURL*, Done> transfers_;
  RunLoop::TimerId timer_ = 0;
  bool servicing_ = false;
};

}  // namespace kw
