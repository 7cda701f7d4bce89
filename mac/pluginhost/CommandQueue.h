// The event messages of one instance that wait for the wrapper movie's back
// channel: first in, first out.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kw {

class CommandQueue {
 public:
  void append(std::string_view message) { messages_.emplace_back(message); }
  bool empty() const { return messages_.empty(); }
  size_t size() const { return messages_.size(); }
  // The oldest message, taken off the queue; none when empty.
  std::optional<std::string> takeOldest() {
    if (messages_.empty()) return std::nullopt;
    std::string message = std::move(messages_.front());
    messages_.pop_front();
    return message;
  }

 private:
  std::deque<std::string> messages_;
};

}  // namespace kw
