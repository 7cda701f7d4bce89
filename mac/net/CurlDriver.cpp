// The libcurl multi handle on the run loop.
#include "mac/net/CurlDriver.h"

#include <chrono>
#include <utility>
#include <vector>

namespace kw {

CurlDriver::CurlDriver(RunLoop& runLoop) : runLoop_(runLoop), multi_(curl_multi_init()) {}

CurlDriver::~CurlDriver() {
  if (timer_ != 0) runLoop_.cancel(timer_);
  for (const auto& [easy, done] : transfers_) curl_multi_remove_handle(multi_, easy);
  transfers_.clear();
  curl_multi_cleanup(multi_);
}

bool CurlDriver::add(CURL* easy, Done done) {
  if (easy == nullptr || multi_ == nullptr || transfers_.count(easy) != 0) return false;
  if (curl_multi_add_handle(multi_, easy) != CURLM_OK) return false;
  transfers_.emplace(easy, std::move(done));
  startTimer();
  return true;
}

void CurlDriver::remove(CURL* easy) {
  const auto it = transfers_.find(easy);
  if (it == transfers_.end()) return;
  curl_multi_remove_handle(multi_, easy);
  transfers_.erase(it);
  stopTimerIfIdle();
}

void CurlDriver::service() {
  // libcurl's callbacks may end up here again (a nested run inside a data
  // callback): the inner call does nothing, the outer turn goes on.
  if (servicing_ || multi_ == nullptr) return;
  servicing_ = true;
  // While sockets keep delivering, a turn goes on moving data for up to
  // kTurnBudget, so throughput is not capped at one socket read per poll.
  const auto start = std::chrono::steady_clock::now();
  int running = 0;
  for (;;) {
    curl_multi_perform(multi_, &running);
    int ready = 0;
    if (running == 0 || curl_multi_wait(multi_, nullptr, 0, 0, &ready) != CURLM_OK || ready == 0) break;
    if (std::chrono::steady_clock::now() - start >= kTurnBudget) break;
  }
  // Collect the ended transfers first: their end calls may add or remove others.
  std::vector<std::pair<CURL*, CURLcode>> ended;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg == CURLMSG_DONE) ended.emplace_back(message->easy_handle, message->data.result);
  }
  servicing_ = false;
  for (const auto& [easy, result] : ended) {
    const auto it = transfers_.find(easy);
    if (it == transfers_.end()) continue;  // removed by an earlier end call
    Done done = std::move(it->second);
    curl_multi_remove_handle(multi_, easy);
    transfers_.erase(it);
    if (done) done(result);
  }
  stopTimerIfIdle();
}

void CurlDriver::startTimer() {
  if (timer_ != 0) return;
  timer_ = runLoop_.scheduleTimer(kPollInterval, true, [this] { service(); });
}

void CurlDriver::stopTimerIfIdle() {
  if (transfers_.empty() && timer_ != 0) {
    runLoop_.cancel(timer_);
    timer_ = 0;
  }
}

}  // namespace kw
