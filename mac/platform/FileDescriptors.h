// Writing to a file descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace kw {

// Writes all of `bytes` to `fd`, retrying short writes and interruptions.
inline bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace kw
