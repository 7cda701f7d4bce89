// Runs commands the way the first window's movie sends them, for the command
// family tests: the application of AppFixture with the controller started
// (the first window plays the bundle's movie through the stand-in plug-in)
// and every command family plugged in. run() parses a request, hands it to a
// window as the command runner does, and answers the reply the movie would
// receive.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mac/app/CommandFamilies.h"
#include "mac/app/Controller.h"
#include "mac/commands/CocoaInterfaceData.h"
#include "mac/commands/CommandParser.h"
#include "mac/commands/Replies.h"
#include "mac/net/WebWindows.h"
#include "mac/windows/FlashWindow.h"
#include "tests/support/AppFixture.h"

namespace kw::test {

class CommandFixture : public AppFixture {
 public:
  struct Result {
    Status parse = kStatusOK;
    std::unique_ptr<CocoaInterfaceData> record;
    std::string reply;  // the XML value (sync) or the variables text (async)
  };

  // Starts the application; call from the test after writing settings and files.
  void startApplication() {
    FamilyServices family = parts().familyServices();
    WindowServices windowServices = services();
    windowServices.equipCommandHandler = [this](KW_Commands& handler) { families->equip(handler); };
    controller = std::make_unique<Controller>(windowServices, assembly.registry);
    family.projectorWindows = controller.get();
    if (withWebWindows) {
      WebWindowServices web = parts().webWindowServices();
      web.equipCommandHandler = [this](KW_Commands& handler) { families->equip(handler); };
      webWindows = std::make_unique<WebWindowManager>(std::move(web));
      family.webWindows = webWindows.get();
    }
    families = std::make_unique<CommandFamilies>(family);
    controller->start();
    assembly.runLoop.runFor(0.1);
  }
  ~CommandFixture() override {
    webWindows.reset();
    controller.reset();
  }

  // A "KW://KW_..." URL-form text (the whole URL), or with `listForm` a
  // "[...]" list, run on `window` (default: the first window).
  Result run(std::string_view text, bool synchronous = false, bool listForm = false, FlashWindow* window = nullptr) {
    Result result;
    result.record = std::make_unique<CocoaInterfaceData>();
    std::string_view request = text;
    if (!listForm && request.substr(0, 8) == "KW://KW_") request.remove_prefix(8);
    result.parse = parseCommand(request, result.record.get(), synchronous, listForm, mouse);
    if (result.parse != kStatusRunCommand) return result;
    FlashWindow* target = window != nullptr ? window : controller->flashWindow();
    if (target == nullptr) return result;
    target->processOneEvent(*result.record);
    result.reply = synchronous ? syncReplyXML(*result.record) : asyncReplyVariables(*result.record);
    return result;
  }

  class Mouse : public ParserServices {
   public:
    MousePoint currentMousePosition() override { return {}; }
    Status startFTPTransfer(CocoaInterfaceData&) override { return kStatusOK; }
  } mouse;
  std::unique_ptr<CommandFamilies> families;
  std::unique_ptr<Controller> controller;
  // Web page windows are opened only when set before startApplication.
  bool withWebWindows = false;
  std::unique_ptr<WebWindowManager> webWindows;
};

}  // namespace kw::test
