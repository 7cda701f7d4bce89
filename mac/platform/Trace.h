// The program's trace: one line per command, reply, event sent to a movie and
// window change. Nothing is written unless a sink has been set.
#pragma once

#include <functional>
#include <string_view>

namespace kw::trace {

// kind: "command", "reply", "event" or "window".
using Sink = std::function<void(std::string_view kind, std::string_view text)>;

// Replaces the sink (an empty one turns tracing off).
void setSink(Sink sink);
bool enabled();
void line(std::string_view kind, std::string_view text);

}  // namespace kw::trace
