// A projector window for bridge and end-to-end tests: runs records through its
// own command handler as a movie view does; records redraws and page scripts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/commands/KW_Commands.h"
#include "mac/pluginhost/HostInterfaces.h"

namespace kw::test {

class TestWindow : public PluginWindow {
 public:
  explicit TestWindow(KW_Commands::Environment environment, FlashPlugin* parent = nullptr)
      : commands(std::move(environment), parent) {}

  // The window's own instance, given to the handler with every record.
  void attach(FlashPlugin* plugin) { plugin_ = plugin; }

  void processOneEvent(CocoaInterfaceData& record) override {
    received.push_back(record.functionNumber);
    commands.doZFunction(this, nullptr, nullptr, &dragging, &quitting, plugin_, &record);
  }
  void invalidateRect(const NPRect& rect) override { invalidations.push_back(rect); }
  void executeJavaScript(std::string_view script) override { scripts.emplace_back(script); }

  KW_Commands commands;
  uint8_t dragging = 0;
  uint8_t quitting = 0;
  std::vector<int32_t> received;  // function IDs of the records handed to the window
  std::vector<NPRect> invalidations;
  std::vector<std::string> scripts;

 private:
  FlashPlugin* plugin_ = nullptr;
};

}  // namespace kw::test
