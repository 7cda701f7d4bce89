// The window commands as a movie sends them: geometry in global coordinates
// on titled and borderless windows, levels, alpha, hiding, masks, new movie
// windows, and web page windows without a maker. The title, and where a new
// window goes, are FamiliesEndToEndTest's.
#include <gtest/gtest.h>

#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/MaskView.h"
#include "mac/windows/WindowCommands.h"
#include "tests/support/CommandFixture.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;

class WindowCommands : public CommandFixture {
 protected:
  ~WindowCommands() override {
    std::error_code ec;
    fs::current_path(cwd_, ec);  // the controller moves it beside the bundle
  }
  FlashWindow& first() { return *controller->flashWindow(); }
  CustomWindow& native() { return *first().window(); }
  std::string sync(const std::string& command, FlashWindow* window = nullptr) {
    return run("KW://KW_" + command, true, false, window).reply;
  }
  std::string async(const std::string& command, FlashWindow* window = nullptr) {
    return run("KW://KW_" + command, false, false, window).reply;
  }
  uint32_t identityOf(const FlashWindow* window) { return assembly.registry.identityOf(window->plugin()); }

 private:
  fs::path cwd_ = fs::current_path();
};

std::string point(int x, int y) {
  return "<object><property id=\"x\"><number>" + std::to_string(x) + "</number></property><property id=\"y\"><number>" +
         std::to_string(y) + "</number></property></object>";
}

// The settings' window type 0 is titled (a 22-point title bar), 1 borderless.
class WindowGeometry : public WindowCommands, public ::testing::WithParamInterface<int> {};

TEST_P(WindowGeometry, IsGlobalAndSizeKeepsTheTopEdge) {
  writeSettings({{"windowType", PlistValue::integer(GetParam())}});
  startApplication();
  const double bar = GetParam() == 0 ? 22 : 0;
  ASSERT_EQ(native().isTitled(), bar != 0);
  sync("zWindow.setPosition?x=0&y=0");
  EXPECT_EQ(native().frame().origin, (DesktopPoint{0, 900 - 150 - bar}));  // the title bar at the top too
  EXPECT_EQ(async("zWindow.getPosition?returnVarName1=px&returnVarName2=py"), "&px=0&py=0");
  sync("zWindow.setPosition?x=130&y=-40");

  const double topEdge = native().frame().maxY();
  sync("zWindow.setSize?width=400&height=300");
  EXPECT_EQ(native().frame(), (DesktopRect{{130, topEdge - 300 - bar}, {400, 300 + bar}}));
  EXPECT_EQ(first().view()->frame().size, (DesktopSize{400, 300}));
  EXPECT_EQ(sync("zWindow.getSize"), point(400, 300));
  // The window manager's 16-bit arithmetic wraps; a negative result is no size.
  sync("zWindow.setSize?width=70000&height=-5");
  EXPECT_EQ(sync("zWindow.getSize"), point(70000 - 65536, 0));
  EXPECT_EQ(native().frame().maxY(), topEdge);
}

INSTANTIATE_TEST_SUITE_P(TitledAndBorderless, WindowGeometry, ::testing::Values(0, 1));

TEST_F(WindowCommands, LevelsAlphaTitleAndVisibility) {
  startApplication();
  const int32_t before = native().level();
  // The names and levels are the command table's (WindowKindsTest).
  for (const auto& [name, level] : std::vector<std::pair<std::string, int32_t>>{
           {"abOVEitall", windowLevelForKey(kMainMenuWindowLevelKey) + 1},
           {"normal", windowLevelForKey(kMainMenuWindowLevelKey) + 1},  // only a name at creation: unchanged
           {"BELOWITALL", windowLevelForKey(kDesktopIconWindowLevelKey) - 1},
           {"STANDARD", before}}) {
    sync("zWindow.setZOrder?order=" + name);
    EXPECT_EQ(native().level(), level) << name;
  }

  sync("zWindow.setAlpha?level=50");  // its value: FamiliesEndToEndTest
  const DesktopPoint inside{native().contentRect().origin.x + 5, native().contentRect().origin.y + 5};
  EXPECT_EQ(desktop.windowAt(inside), &native());
  sync("zWindow.setAlpha?level=0");
  EXPECT_EQ(desktop.windowAt(inside), nullptr);

  sync("zWindow.show?show=false");
  EXPECT_TRUE(desktop.isHidden());
  sync("zWindow.show?show=true");
  EXPECT_TRUE(!desktop.isHidden() && desktop.isActive());
  sync("zWindow.minimize");
  EXPECT_TRUE(native().isMiniaturized());
  sync("zWindow.restore");
  EXPECT_FALSE(native().isMiniaturized());
  sync("zWindow.startDrag");
  EXPECT_TRUE(first().view()->gDragging);

  // Without a mask view setShape does nothing and setFlashSize sizes the window.
  sync("zWindow.setShape?fileName=" + (dir.path() / "x.png").string());
  sync("zWindow.setFlashSize?width=300&height=120");
  EXPECT_EQ(native().contentRect().size, (DesktopSize{300, 120}));
}

TEST_F(WindowCommands, BringToForegroundFrontsTheWindowATenthLater) {
  startApplication();
  Window other(desktop, {{0, 0}, {50, 50}}, kTitledWindowMask);
  other.makeKeyAndOrderFront();
  desktop.deactivate();
  sync("zWindow.bringToForeground");
  EXPECT_TRUE(desktop.isActive());
  EXPECT_EQ(desktop.keyWindow(), &other);
  assembly.runLoop.runFor(0.11);
  EXPECT_EQ(desktop.keyWindow(), &native());
  EXPECT_EQ(desktop.orderedWindows().front(), &native());
}

TEST_F(WindowCommands, CreateWindowFindsTheMovieAndAnswersItsIdentity) {
  writeFile(resources() / "intro.swf", appMovie(120, 90));
  writeFile(resources() / "intro.SWF", appMovie(120, 90));
  writeFile(dir.path() / "elsewhere.swf", appMovie(80, 60));
  startApplication();
  // Every parameter is required.
  const std::string args =
      "&x=10&y=20&parameter=p&title=Intro&backgroundColor=&ownedByMainWindow=true&initialAlpha=100&resizeable=false"
      "&hasShadow=true&shapeFilename=&type=";
  const std::string frame = args + "FRAME";

  // The first window was made by the application: no creator, parameter "main".
  EXPECT_EQ(sync("getWindow"), "<number>0</number>");
  EXPECT_EQ(async("zWindow.getParameter"), "&returnValue=main");
  EXPECT_EQ(sync("createWindow?flashFileName=intro.SWF" + frame), "<number>0</number>");
  EXPECT_EQ(sync("createWindow?flashFileName=missing.swf" + frame), "<number>0</number>");
  ASSERT_EQ(controller->flashWindowList().size(), 1u);

  const std::string reply = async("createWindow?flashFileName=intro.swf" + frame);
  ASSERT_EQ(controller->flashWindowList().size(), 2u);
  FlashWindow* made = controller->flashWindowList()[1];
  EXPECT_EQ(reply, "&returnValue=" + std::to_string(identityOf(made)));
  EXPECT_EQ(sync("getWindow", made), "<number>" + std::to_string(identityOf(&first())) + "</number>");
  EXPECT_EQ(sync("zWindow.getParameter", made), "<string>p</string>");

  // A path outside the bundle.
  const std::string path = (dir.path() / "elsewhere.swf").string();
  EXPECT_NE(sync("createWindow?flashFileName=" + path + args + "WINDOWLESS"), "<number>0</number>");
  ASSERT_EQ(controller->flashWindowList().size(), 3u);
  FlashWindow* windowless = controller->flashWindowList()[2];
  ASSERT_NE(windowless->alphaWindow(), nullptr);
  // The alpha window and the real one both take the size.
  sync("zWindow.setSize?width=100&height=70", windowless);
  EXPECT_EQ(windowless->alphaWindow()->contentRect().size, (DesktopSize{100, 70}));
  EXPECT_EQ(windowless->window()->contentRect().size, (DesktopSize{100, 70}));
}

TEST_F(WindowCommands, MasksChangeAndHoldTheMovieArea) {
  ASSERT_TRUE(Bitmap(301, 250).writePng(resources() / "shape.png"));
  ASSERT_TRUE(Bitmap(320, 260).writePng(dir.path() / "other.png"));
  writeSettings({{"mask", PlistValue::string("YES")}, {"maskName", PlistValue::string("shape.png")}});
  startApplication();
  // The settings' mask holds the movie, centred: 301/2 - 200/2 = 50.
  ASSERT_NE(first().maskView(), nullptr);
  EXPECT_EQ(native().contentView(), first().maskView());
  EXPECT_EQ(native().contentRect().size, (DesktopSize{301, 250}));
  EXPECT_EQ(first().view()->superview(), first().maskView());
  EXPECT_EQ(first().view()->frame(), (DesktopRect{{50, 50}, {200, 150}}));

  sync("zWindow.setShape?fileName=" + (dir.path() / "other.png").string());
  EXPECT_EQ(native().contentRect().size, (DesktopSize{320, 260}));
  sync("zWindow.setShape?fileName=" + (dir.path() / "none.png").string());  // unreadable: unchanged
  EXPECT_EQ(native().contentRect().size, (DesktopSize{320, 260}));

  // In a mask the movie's area takes the size, not the window.
  sync("zWindow.setFlashSize?width=100&height=80");
  EXPECT_EQ(first().view()->frame().size, (DesktopSize{100, 80}));
  EXPECT_EQ(native().contentRect().size, (DesktopSize{320, 260}));
}

// Without web page windows (their placements are WebWindowTest's) both answer 0 and open nothing.
TEST_F(WindowCommands, WebWindowsWithoutAMakerOpenNothing) {
  startApplication();
  const size_t windows = desktop.windows().size();
  EXPECT_EQ(sync("createMediaWindow?fileName=a.html&x=1&y=2&width=3&height=4&parameter=&title="), "<number>0</number>");
  EXPECT_EQ(sync("zWindow.embedMediaWindow?fileName=a.html&x=5&y=6&width=7&height=8"), "<number>0</number>");
  EXPECT_EQ(desktop.windows().size(), windows);
}

}  // namespace
}  // namespace kw::test
