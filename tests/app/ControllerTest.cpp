// The application controller: start-up, the window registry with its delayed
// release and last-window quit event, broadcasts with their exact texts, the
// Trash.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "mac/app/Controller.h"
#include "mac/platform/Menu.h"
#include "mac/platform/Trace.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScopedEnv.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

class ControllerTest : public test::AppFixture {
 protected:
  ControllerTest() {
    trace::setSink([this](std::string_view kind, std::string_view text) {
      if (kind == "event") events.emplace_back(text);
    });
  }
  ~ControllerTest() override {
    trace::setSink({});
    std::error_code ec;
    fs::current_path(cwd_, ec);
  }
  std::unique_ptr<Controller> make() { return std::make_unique<Controller>(services(), assembly.registry); }
  FlashWindowArgs runTimeArgs() {
    test::writeFile(dir.path() / "m.swf", test::appMovie(120, 90));
    FlashWindowArgs args;
    args.swf = (dir.path() / "m.swf").string();
    args.type = "FRAME";
    return args;
  }
  size_t count(const std::string& part) const {
    return static_cast<size_t>(
        std::count_if(events.begin(), events.end(), [&](const std::string& e) { return e.find(part) != e.npos; }));
  }

  std::vector<std::string> events;

 private:
  fs::path cwd_ = fs::current_path();
};

TEST_F(ControllerTest, StartUpRegistersTheFirstWindowOnlyWithTheMovie) {
  auto controller = make();
  controller->start();
  ASSERT_NE(controller->flashWindow(), nullptr);
  EXPECT_EQ(controller->flashWindowList(), std::vector<FlashWindow*>{controller->flashWindow()});
  EXPECT_EQ(desktop.delegate(), controller.get());
  EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(dir.path()));
  test::writeFile(resources() / "about.swf", test::appMovie(100, 80));
  controller->onPlayerAbout();
  ASSERT_EQ(controller->flashWindowList().size(), 2u);
  const CustomWindow* about = controller->flashWindowList()[1]->window();
  EXPECT_TRUE(about->isPanel() && about->styleMask() == 19 && about->title() == "About This Application");
  EXPECT_EQ(about->contentRect().origin, (DesktopPoint{100, 900 - 100 - 80}));
  controller.reset();

  fs::remove(resources() / "zvdata.zve");
  controller = make();
  controller->start();
  EXPECT_TRUE(controller->flashWindowList().empty());
  EXPECT_EQ(desktop.delegate(), nullptr);
}

TEST_F(ControllerTest, WindowsAreReleasedLaterAndTheLastOneHearsTheQuit) {
  auto controller = make();
  controller->start();
  FlashWindow* first = controller->flashWindow();
  FlashWindowArgs args = runTimeArgs();
  args.parent = first->window();
  args.ownedByParent = true;
  const uint32_t id = controller->createWindow(args);
  ASSERT_EQ(controller->flashWindowList().size(), 2u);
  FlashWindow* child = controller->flashWindowList()[1];
  EXPECT_EQ(id, assembly.registry.identityOf(child->plugin()));
  EXPECT_NE(id, 0u);
  EXPECT_EQ(first->window()->childWindowList, std::vector<FlashWindow*>{child});
  EXPECT_EQ(controller->createWindow(FlashWindowArgs{}), 0u);
  EXPECT_EQ(controller->flashWindowList().size(), 2u);

  const size_t windows = desktop.windows().size();
  child->window()->performClose();
  EXPECT_EQ(controller->flashWindowList(), std::vector<FlashWindow*>{first});
  EXPECT_EQ(count("onQuit"), 0u);  // not the last window
  assembly.runLoop.runFor(0.1);
  EXPECT_EQ(desktop.windows().size(), windows - 1);  // released
  controller->closeThisWindow(child);                  // no longer owned: nothing happens

  first->window()->performClose();
  EXPECT_TRUE(controller->flashWindowList().empty());
  EXPECT_EQ(count("<string>onQuit</string>"), 1u);
  assembly.runLoop.runFor(0.2);
  EXPECT_EQ(controller->flashWindow(), nullptr);
  EXPECT_TRUE(desktop.terminated());  // the last window closed
  EXPECT_TRUE(fs::exists(dir.path() / "defaults.plist"));
}

TEST_F(ControllerTest, BroadcastsCarryTheirExactTexts) {
  writeSettings({{"windowType", PlistValue::integer(3)}});
  auto controller = make();
  controller->start();  // a windowless first window: its movie is the first to hear
  FlashWindow* first = controller->flashWindow();
  ASSERT_TRUE(first->alphaWindow());
  first->window()->setFrameOrigin({0, 0});
  FlashPlugin projector(assembly.host(), false), web(assembly.host(), false), dead(assembly.host(), false);
  projector.fType = kPluginTypeFlash;
  web.fType = kPluginTypeWeb;
  dead.sanityCheck = kPluginNuts;
  for (FlashPlugin* plugin : {&projector, &web, &dead}) {
    assembly.notifications.post(notification::kAddNsPluginToList, plugin);
  }
  const std::string t12(12, '\t'), t8(8, '\t');
  const auto property = [](int id, const std::string& text) {
    return "<property id=\"" + std::to_string(id) + "\"><string>" + text + "</string></property>";
  };

  events.clear();
  desktop.setScreens({ScreenFrame{{0, 0}, 1024, 768}});
  const DesktopPoint alpha = first->alphaWindow()->frame().origin;
  EXPECT_EQ(first->window()->frame().origin, (DesktopPoint{alpha.x + 1000, alpha.y}));  // resynced
  const std::string screenText = "ARRAY_OF_STRINGS=zApplication~!onScreenChange";
  const std::string screenXml = "zApplication.onEventSync <array length=\"2\">" + t12 + property(0, "zApplication") +
                                t12 + property(1, "onScreenChange") + t12 + "</array>";
  EXPECT_EQ(events, (std::vector<std::string>{screenText, screenXml, screenText, screenXml, screenText, screenXml}));

  events.clear();
  controller->onAbout(MenuItem("About Zivra"));
  const std::string aboutText = "ARRAY_OF_STRINGS=zMenu~!onCommand~!Zivra~!About Zivra";
  const std::string aboutXml = "zApplication.onEventSync <array length=\"4\">" + t8 + property(0, "zMenu") + t8 +
                               property(1, "onCommand") + t8 + property(2, "Zivra") + t8 +
                               property(3, "About Zivra") + t8 + "</array>";
  EXPECT_EQ(events, (std::vector<std::string>{aboutText, aboutXml, aboutText, aboutXml, aboutText, aboutXml}));

  events.clear();
  EXPECT_TRUE(desktop.openFile("/docs/a.zve"));
  const std::string restart = "ARRAY_OF_STRINGS=zApplication~!onRestart~!" + appPath.string() + "~!/docs/a.zve";
  EXPECT_EQ(events, (std::vector<std::string>{restart, restart, restart}));
}

TEST_F(ControllerTest, TheTrashTakesADatePrefixedNameWhenTheNameIsTaken) {
  const test::ScopedEnv data("XDG_DATA_HOME", (dir.path() / "data").string()), home("HOME", dir.path().string());
  auto controller = make();
  const fs::path trash = dir.path() / "data" / "Trash";
  const fs::path item = dir.path() / "my doc.txt";

  for (const uint8_t content : {uint8_t{'a'}, uint8_t{'b'}}) {
    test::writeFile(item, {content});
    EXPECT_TRUE(controller->moveFileToUserTrash(item));
  }
  EXPECT_FALSE(controller->moveFileToUserTrash(item));  // gone already
  std::stringstream info;
  info << std::ifstream(trash / "info" / "my doc.txt.trashinfo").rdbuf();
  EXPECT_EQ(info.str().rfind("[Trash Info]\nPath=" + dir.path().string() + "/my%20doc.txt\nDeletionDate=", 0), 0u);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(trash / "files")) names.push_back(entry.path().filename().string());
  ASSERT_EQ(names.size(), 2u);
  const std::string other = names[0] == "my doc.txt" ? names[1] : names[0];
  EXPECT_TRUE(std::regex_match(other, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000my doc\.txt)"))) << other;
  EXPECT_TRUE(fs::exists(trash / "info" / (other + ".trashinfo")));

  test::writeFile(item, {'c'});
  unsetenv("XDG_DATA_HOME");  // the ScopedEnvs put both back
  unsetenv("HOME");
  EXPECT_FALSE(controller->moveFileToUserTrash(item));  // no Trash to be found
  EXPECT_TRUE(fs::exists(item));
}

}  // namespace
}  // namespace kw
