// The system log: diagnostics such as "invalid command" or the movie's trace
// lines. Programs write to standard error; tests capture the lines instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Writes one diagnostic line.
void systemLog(std::string_view line);

// While alive, collects every logged line instead of printing it.
class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  friend void systemLog(std::string_view line);
  std::vector<std::string> lines_;
  ScopedLogCapture* previous_;
};

}  // namespace kw
