// The trace sink.
#include "mac/platform/Trace.h"

#include <utility>

namespace kw::trace {

namespace {
Sink& sink() {
  static Sink current;
  return current;
}
}  // namespace

void setSink(Sink newSink) { sink() = std::move(newSink); }

bool enabled() { return static_cast<bool>(sink()); }

void line(std::string_view kind, std::string_view text) {
  if (sink()) sink()(kind, text);
}

}  // namespace kw::trace
