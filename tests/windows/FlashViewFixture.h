// The movie view with the real stand-in plug-in, for the view tests: the
// application of AppFixture, a titled window holding a fresh view, what the
// plug-in instance received (from the stand-in's report) and the messages the
// view sent the movie (from the event trace).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mac/platform/Trace.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/keyCodeTranslator.h"
#include "mac/windows/FlashView.h"
#include "tests/support/AppFixture.h"
#include "tools/standin/StandInReport.h"

namespace kw::test {

using Kinds = std::vector<std::pair<uint16_t, uint32_t>>;  // (what, message) of each event

class FlashViewFixture : public AppFixture {
 protected:
  FlashViewFixture() {
    flashViewFlags() = {};
    keyCodeTranslator::resetCurrentTranslator();
    trace::setSink([this](std::string_view kind, std::string_view text) {
      if (kind == "event") lines.emplace_back(text);
    });
  }
  ~FlashViewFixture() override {
    trace::setSink({});
    keyCodeTranslator::resetCurrentTranslator();
    view.reset();
  }

  // A fresh view filling the window, made with `s` (default: the fixture's services).
  FlashView& makeView(std::optional<WindowServices> s = std::nullopt) {
    view = std::make_shared<FlashView>(s ? *s : services(), DesktopRect{{0, 0}, {200, 150}});
    window.setContentView(view);
    view->setTargetWindow(&window, nullptr);
    seen = 0;
    return *view;
  }
  // Plays the bundle's movie in the view; the status is kept in `status`.
  Status load(int32_t windowType = 0, PluginWindow* pluginWindow = nullptr) {
    return status = view->loadMovie(std::nullopt, nullptr, pluginWindow, windowType, "main");
  }
  const standin::StandInReport& report() {
    if (!code) code = LoadedCode::load(*Bundle::open(resources() / "fpb.plugin"));
    return *reinterpret_cast<StandIn_ReportFuncPtr>(code->symbol("StandIn_Report"))(view->plugin()->instance());
  }
  // The events the plug-in received since the last call.
  Kinds received() {
    const auto& events = report().events;
    Kinds kinds;
    for (; seen < events.size(); ++seen) kinds.emplace_back(events[seen].what, events[seen].message);
    return kinds;
  }

  Window window{desktop, {{100, 100}, {200, 150}}, kTitledWindowMask};
  std::shared_ptr<FlashView> view;
  std::unique_ptr<LoadedCode> code;
  Status status = -1;
  size_t seen = 0;
  std::vector<std::string> lines;  // the messages traced to the movie
};

}  // namespace kw::test
