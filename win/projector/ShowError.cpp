// Failure messages: bounded formatting, debugger output, a modal box.
#include "win/projector/ShowError.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

void FormatErrorText(char* out, unsigned capacity, const char* format, va_list args) {
  if (out == nullptr || capacity == 0) return;
  out[0] = '\0';
  if (capacity < 2) return;
  // Leave room for the "\n": vsnprintf writes at most capacity - 1 bytes
  // here, its last being the NUL, and cuts anything longer.
  if (format != nullptr && std::vsnprintf(out, capacity - 1, format, args) < 0) out[0] = '\0';
  const size_t length = strnlen(out, capacity - 2);
  out[length] = '\n';
  out[length + 1] = '\0';
}

void ShowError(const char* format, ...) {
  char text[kErrorBufferSize];
  va_list args;
  va_start(args, format);
  FormatErrorText(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
  MessageBoxA(nullptr, text, kErrorTitle, MB_OK);
}

}  // namespace kw::orbalo
