// The system temporary folder and the running executable's path, as texts.
#include "win/projector/SystemPaths.h"

#include <windows.h>

#include <vector>

namespace kw::orbalo {

std::string TemporaryPath(unsigned capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  const DWORD length = GetTempPathA(capacity, buffer.data());
  // 0 is a failure; a length of `capacity` or more is the size the path would
  // need, and then the buffer holds nothing usable.
  if (length == 0 || length >= capacity) return {};
  return std::string(buffer.data(), length);
}

std::string ExecutablePath(unsigned capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), capacity);
  if (length == 0) return {};
  buffer[capacity - 1] = '\0';  // a cut path is not terminated on older systems
  return std::string(buffer.data());
}

}  // namespace kw::orbalo
