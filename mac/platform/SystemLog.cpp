// The system log: see SystemLog.h. Single-threaded like the rest of the host.
#include "mac/platform/SystemLog.h"

#include <cstdio>

namespace kw {
namespace {
ScopedLogCapture* gCapture = nullptr;
}

void systemLog(std::string_view line) {
  if (gCapture != nullptr) {
    gCapture->lines_.emplace_back(line);
    return;
  }
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

ScopedLogCapture::ScopedLogCapture() : previous_(gCapture) { gCapture = this; }
ScopedLogCapture::~ScopedLogCapture() { gCapture = previous_; }

}  // namespace kw
