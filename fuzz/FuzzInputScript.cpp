// libFuzzer target for scripted input: any bytes must parse to events within
// the format's limits or to an error with a line number, and the events must
// play on a desktop with a window without fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "mac/platform/Desktop.h"
#include "mac/platform/InputScript.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kw::InputScript script = kw::parseInputScript(text);
  if (!script.ok()) {
    if (script.error->line == 0 || !script.events.empty()) __builtin_trap();
    return 0;
  }
  for (const auto& event : script.events) {
    if (!(event.time >= 0 && event.time <= 1000000) || event.line == 0) __builtin_trap();
    if (!std::isfinite(event.point.x) || !std::isfinite(event.point.y) || !std::isfinite(event.delta)) __builtin_trap();
  }
  kw::RunLoop loop(kw::RunLoop::ClockKind::Virtual);
  kw::Desktop desktop(loop);
  kw::Window window(desktop, {{100, 100}, {400, 300}}, kw::kTitledWindowMask | kw::kClosableWindowMask);
  auto view = std::make_shared<kw::View>(kw::DesktopRect{{0, 0}, {400, 300}});
  view->registerForDraggedFileNames();
  window.setContentView(view);
  window.makeKeyAndOrderFront();
  kw::scheduleInputScript(loop, desktop, script.events);
  loop.runFor(1000001);
  return 0;
}
