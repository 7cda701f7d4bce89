// The one way orbalo reports a failure to the user: a message box titled
// "Orbalo" whose text also goes to the debugger output.
#pragma once

#include <cstdarg>

namespace kw::orbalo {

// printf-style; the text is cut to fit 1,024 bytes including the "\n" that is
// appended. Returns when the user has closed the box.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The formatting step on its own: writes at most `capacity` bytes (text, "\n"
// and NUL) into `out`. Never writes past `capacity`.
void FormatErrorText(char* out, unsigned capacity, const char* format, va_list args);

}  // namespace kw::orbalo
