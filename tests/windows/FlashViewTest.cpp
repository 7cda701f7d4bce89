// The movie view with the real stand-in plug-in: loading, the frame timer,
// command records (the alpha-mode resize and click), the messages to the movie
// in their exact texts and orders, and releasing the instance.
#include "mac/commands/KW_Commands.h"
#include "mac/platform/SystemLog.h"
#include "tests/windows/FlashViewFixture.h"

namespace kw::test {
namespace {

// The instance's window: forwards to the view as a projector window does.
struct Projector : PluginWindow {
  FlashView* view = nullptr;
  void processOneEvent(CocoaInterfaceData& record) override { view->processOneEvent(record); }
  void invalidateRect(const NPRect& rect) override { view->invalidateRect(rect); }
  void executeJavaScript(std::string_view) override {}
};

// A window family that notes the native window each command acts on.
struct TargetFamily : CommandFamily {
  std::vector<Window*> targets;
  std::function<void(ZFunctionCall&)> then;
  void runCommand(ZFunctionCall& call) override {
    targets.push_back(static_cast<Projector*>(call.window)->view->commandTargetWindow());
    if (then) then(call);
  }
};

class FlashViewTest : public FlashViewFixture {
 protected:
  FlashView& open(const swf::Bytes& movie = appMovie(200, 150), int32_t windowType = 0) {
    writeFile(resources() / "zvdata.zve", movie);
    WindowServices s = services();
    s.equipCommandHandler = [this](KW_Commands& handler) { handler.setFamily(CommandFamilyKind::Window, family); };
    makeView(s);
    window.orderFront();
    projector.view = view.get();
    load(windowType, &projector);
    return *view;
  }
  // A command record with the function number, handed to the view.
  std::unique_ptr<CocoaInterfaceData> command(int32_t id, int32_t intParam = 0) {
    auto record = CocoaInterfaceData::create(0, view->plugin(), {});
    record->functionNumber = id;
    record->intParam1 = intParam;
    view->processOneEvent(*record);
    return record;
  }

  std::shared_ptr<TargetFamily> family = std::make_shared<TargetFamily>();
  Projector projector;
};

std::string sync(const char* a, const char* b) {
  return std::string("zApplication.onEventSync <array length=\"2\"><property id=\"0\"><string>") + a +
         "</string></property><property id=\"1\"><string>" + b + "</string></property></array>";
}

TEST_F(FlashViewTest, LoadsTheMovieWithTheWrapperUnlessItIsActionScript3) {
  for (const bool as3 : {false, true}) {
    SCOPED_TRACE(as3);
    ScopedLogCapture log;
    open(appMovie(200, 150, 12, as3));
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(report().movieLoaded);
    EXPECT_EQ(report().movieHasWrapper, !as3);
    EXPECT_EQ(report().movieActionScript3, as3);
    EXPECT_EQ(log.lines(), as3 ? std::vector<std::string>{"Zivra thinks this is an ActionScript 3 SWF"}
                               : std::vector<std::string>{});
    EXPECT_TRUE(assembly.registry.isAValidNsPlugin(view->plugin()));
  }
}

TEST_F(FlashViewTest, WithoutPluginOrWrapperTheViewStaysWithoutInstance) {
  std::filesystem::remove_all(resources() / "fpb.plugin");
  open();
  EXPECT_EQ(status, -43);
  EXPECT_EQ(view->plugin(), nullptr);
  ASSERT_EQ(assembly.alerts.shown.size(), 2u);  // the locator's alert, then the view's
  EXPECT_EQ(std::tie(assembly.alerts.shown[1].title, assembly.alerts.shown[1].text, assembly.alerts.shown[1].buttons),
            std::make_tuple("Plugin Not Found", "The Flash plugin is required and could not be found",
                            std::vector<std::string>{"OK"}));
  EXPECT_TRUE(desktop.terminated());

  std::filesystem::remove(resources() / "RidavOdarez.zve");
  std::filesystem::copy(KW_STANDIN_PLUGIN_BUNDLE, resources() / "fpb.plugin", std::filesystem::copy_options::recursive);
  open();
  EXPECT_EQ(status, -43);
  EXPECT_EQ(view->plugin(), nullptr);
}

TEST_F(FlashViewTest, TimerTicksOneEventAtTheFrameRate) {
  open();
  const auto eventsIn = [this](double seconds) {
    received();
    assembly.runLoop.runFor(seconds);
    return received().size();
  };
  EXPECT_DOUBLE_EQ(view->timerInterval(), 0.005);
  EXPECT_EQ(eventsIn(0.05), 10u);
  for (const auto& [rate, period] : {std::pair{25, 0.04}, {0, 0.005}, {25, 0.04}}) {
    EXPECT_EQ(command(320, rate)->completed, 1) << "the movie gets its reply";
    EXPECT_DOUBLE_EQ(view->timerInterval(), period);
  }
  EXPECT_EQ(eventsIn(0.4), 10u);
  view->doWindowisMiniaturizing();
  EXPECT_DOUBLE_EQ(view->timerInterval(), 0.06);
  EXPECT_EQ(eventsIn(0.6), 10u);
  view->doWindowisDeminiaturizing();
  EXPECT_DOUBLE_EQ(view->timerInterval(), 0.04);
}

TEST_F(FlashViewTest, AlphaModeResizesBothWindowsAndClicksAfterModalPanels) {
  Window alpha(desktop, {{100, 400}, {200, 150}}, kBorderlessWindowMask);
  open(appMovie(200, 150), 3);
  view->setWindowless(true);
  view->setTargetWindow(&alpha, nullptr);
  view->bitmap = std::make_shared<Bitmap>(1, 1);
  view->rowBytes = 4;

  EXPECT_EQ(command(309)->completed, 1) << "the reply still goes out";
  EXPECT_EQ(family->targets, (std::vector<Window*>{&alpha, &window}));
  EXPECT_EQ(view->bitmap, nullptr);
  EXPECT_EQ(view->rowBytes, 0);

  for (const int32_t id : {413, 508, 509, 516, 310}) {
    SCOPED_TRACE(id);
    received();
    command(id);
    EXPECT_EQ(received(), (id == 310 ? Kinds{} : Kinds{{1, 0}, {2, 0}}));
  }
}

TEST_F(FlashViewTest, MessagesGoInTheirEncodingsAndOrders) {
  open();
  lines.clear();
  view->doWindowBecameMain();
  view->doWindowResignedMain();
  view->doApplicationIsActivating();
  view->doApplicationIsDeactivating();
  view->doWindowisMiniaturizing();
  view->doWindowisDeminiaturizing();
  view->sendQuitEventToFlash();
  view->sendQuitEventToFlash();
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "ARRAY_OF_STRINGS=zWindow~!onActivate~!!B00L1", sync("zApplication", "onActivate"),
                       "ARRAY_OF_STRINGS=zWindow~!onActivate~!!B00L0", sync("zApplication", "onDeactivate"),
                       "ARRAY_OF_STRINGS=zApplication~!onActivate~!!B00L1", sync("zWindow", "onActivate"),
                       sync("zWindow", "onDeactivate"), "ARRAY_OF_STRINGS=zApplication~!onActivate~!!B00L0",
                       "ARRAY_OF_STRINGS=zWindow~!onMinimized", sync("zWindow", "onMinimized"),
                       "ARRAY_OF_STRINGS=zWindow~!onRestored", sync("zWindow", "onRestored"),
                       sync("zApplication", "onQuit")}));
  EXPECT_TRUE(window.isKeyWindow()) << "restoring makes the window key";

  lines.clear();
  view->doWindowisClosing();
  EXPECT_EQ(lines, std::vector<std::string>{sync("zWindow", "onClose")});
  EXPECT_EQ(view->timerInterval(), 0);
}

TEST_F(FlashViewTest, ReleasedInstanceLeavesTheRegistryAndGetsNothingMore) {
  open();
  FlashPlugin* plugin = view->plugin();
  view->stopTimer();
  view->stopTimer();
  EXPECT_EQ(view->plugin(), nullptr);
  EXPECT_FALSE(assembly.registry.isAValidNsPlugin(plugin));
  EXPECT_EQ(view->timerInterval(), 0);

  // A command that stops the view keeps the instance it runs with until it returns.
  open();
  bool saneDuringCommand = false;
  family->then = [&](ZFunctionCall& call) {
    view->stopTimer();
    saneDuringCommand = call.plugin->isSane();
  };
  command(310);
  EXPECT_TRUE(saneDuringCommand);
  EXPECT_EQ(view->plugin(), nullptr);
  EXPECT_EQ(assembly.registry.count(), 0u);
  family->then = nullptr;

  open();
  lines.clear();
  view->doApplicationIsTerminating();
  view->doApplicationIsTerminating();
  EXPECT_EQ(lines, std::vector<std::string>{sync("zApplication", "onQuit")});
  view->mouseDown({});
  view->sendEventToFlash("ARRAY_OF_STRINGS=late");
  view->doApplicationIsActivating();
  assembly.runLoop.runFor(0.1);
  EXPECT_EQ(lines.size(), 1u);
}

}  // namespace
}  // namespace kw::test
