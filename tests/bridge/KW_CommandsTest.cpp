// The command handler: the dispatch steps, the commands it runs itself, and
// the routing of every other ID to its command family.
#include "mac/commands/KW_Commands.h"
#include "mac/platform/SystemLog.h"
#include "tests/support/TestWindow.h"

namespace kw {
namespace {

// A family that records what reaches it.
class RecordingFamily : public CommandFamily {
 public:
  void firstDispatch(KW_Commands& handler) override { firstDispatches.push_back(&handler); }
  void runCommand(ZFunctionCall& call) override {
    ran.push_back(call.record.functionNumber);
    lastWindow = call.window;
    lastPlugin = call.plugin;
    if (call.dragging != nullptr) *call.dragging = 1;
    call.record.numberResult = 99;
    call.record.status = 5;  // the handler sets 0 afterwards
  }
  std::vector<KW_Commands*> firstDispatches;
  std::vector<int32_t> ran;
  PluginWindow* lastWindow = nullptr;
  FlashPlugin* lastPlugin = nullptr;
};

class KW_CommandsTest : public test::MovieHost {
 protected:
  // Runs a record of `id` through a window's handler as its view does.
  std::unique_ptr<CocoaInterfaceData> run(int32_t id, test::Movie* movie = nullptr,
                                          const std::function<void(CocoaInterfaceData&)>& fill = {}) {
    auto data = CocoaInterfaceData::create(0, main.plugin.get(), {});
    data->functionNumber = id;
    if (fill) fill(*data);
    (movie ? movie : &main)->window->processOneEvent(*data);
    return data;
  }
  KW_Commands& handler() { return main.window->commands; }

  test::Movie& main = openMovie("main");
};

TEST_F(KW_CommandsTest, DispatchMarksTheRecordDispatchedCompletedAndStatusZero) {
  auto data = run(700, nullptr, [](CocoaInterfaceData& d) { d.status = -202; });
  EXPECT_EQ(data->dispatched, 1);
  EXPECT_EQ(data->completed, 1);
  EXPECT_EQ(data->status, 0);
}

TEST_F(KW_CommandsTest, NullAndUnmarkedRecordsAreIgnoredButTheFirstCallIsTakenOnce) {
  auto menuFamily = std::make_shared<RecordingFamily>();
  handler().setFamily(CommandFamilyKind::Menu, menuFamily);
  int bundleStandIn = 0;
  const auto* bundle = reinterpret_cast<const Bundle*>(&bundleStandIn);
  handler().doZFunction(main.window.get(), bundle, nullptr, nullptr, nullptr, main.plugin.get(), nullptr);
  EXPECT_EQ(handler().fFirstTime, 0);
  EXPECT_EQ(handler().fPlugin, main.plugin.get());
  EXPECT_EQ(handler().fBundle, bundle);
  EXPECT_EQ(menuFamily->firstDispatches.size(), 1u);

  auto data = run(100, nullptr, [](CocoaInterfaceData& d) { d.sanityCheck = 0x49436F43; });  // marker reversed
  EXPECT_EQ(data->dispatched, 0);
  EXPECT_EQ(data->completed, 0);
  EXPECT_TRUE(menuFamily->ran.empty());
  run(100);
  EXPECT_EQ(menuFamily->firstDispatches.size(), 1u);
  EXPECT_EQ(menuFamily->ran, std::vector<int32_t>{100});
}

TEST_F(KW_CommandsTest, ASecondDispatchLogsBadZFunctionAndRunsNothing) {
  ScopedLogCapture log;
  auto data = run(408, nullptr, [](CocoaInterfaceData& d) { d.stringParam1 = "once"; });
  data->status = 3;
  main.window->processOneEvent(*data);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Zivra trace -> once", "BAD ZFunction"}));
  EXPECT_EQ(data->status, 3);
}

TEST_F(KW_CommandsTest, TraceLogsTheMessageWithEscapesRemoved) {
  ScopedLogCapture log;
  run(408, nullptr, [](CocoaInterfaceData& d) { d.stringParam1 = "Hello%20World%21"; });
  run(408);
  run(408, nullptr, [](CocoaInterfaceData& d) { d.stringParam1 = "undefined"; });
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"Zivra trace -> Hello World!", "Zivra trace -> ", "Zivra trace -> "}));
}

TEST_F(KW_CommandsTest, GetParameterAnswersTheWindowsParameter) {
  EXPECT_EQ(run(306)->stringResult, "main");
  handler().setParameter(nullptr);  // a null text keeps the old one
  EXPECT_EQ(run(306)->stringResult, "main");
  handler().setParameter("second");
  EXPECT_EQ(run(306)->stringResult, "second");
  EXPECT_FALSE(run(306, &openMovie(nullptr))->stringResult.has_value());
}

TEST_F(KW_CommandsTest, GetWindowAnswersTheCreatorsIdentityOrZero) {
  EXPECT_EQ(run(417)->numberResult, 0);
  test::Movie& child = openMovie("child", {}, true, main.plugin.get());
  EXPECT_EQ(run(417, &child)->numberResult, static_cast<int32_t>(identityOf(main)));
  registry.forget(main.plugin.get());  // the creator's identity now names nothing
  EXPECT_EQ(run(417, &child)->numberResult, 0);
}

TEST_F(KW_CommandsTest, EnableCachingSetsTheDefaultAndEveryRegisteredProjector) {
  test::Movie& other = openMovie("other");
  run(418, nullptr, [](CocoaInterfaceData& d) { d.boolParam1 = 0; });
  EXPECT_FALSE(host->cachingDefault);
  EXPECT_FALSE(main.plugin->fOkToCache);
  EXPECT_FALSE(other.plugin->fOkToCache);
  EXPECT_FALSE(FlashPlugin(*host, true).fOkToCache);  // instances made later start from the default
  run(418, nullptr, [](CocoaInterfaceData& d) { d.boolParam1 = 1; });
  EXPECT_TRUE(host->cachingDefault);
  EXPECT_TRUE(other.plugin->fOkToCache);
}

TEST_F(KW_CommandsTest, MonitorNumberAndPlayModeComeFromTheHandler) {
  EXPECT_EQ(run(700)->numberResult, 1);
  EXPECT_EQ(run(702)->numberResult, 0);
  handler().setMonitorNumber(2);
  handler().setPlayMode(3);
  EXPECT_EQ(run(700)->numberResult, 2);
  EXPECT_EQ(run(702)->numberResult, 3);
}

TEST_F(KW_CommandsTest, GetArgumentsIsAnXmlListWhenSynchronousAndATildeListOtherwise) {
  EXPECT_EQ(run(421, nullptr, [](CocoaInterfaceData& d) { d.synchronous = 1; })->stringResult,
            "<object><property id=\"KW_array\"><array>"
            "<property id=\"0\"><string>/Applications/Demo.app/Contents/MacOS/zivra</string></property>"
            "<property id=\"1\"><string>-psn_0_42</string></property>"
            "<property id =\"length\"><number>2</number></property>"
            "</array></property></object>");
  EXPECT_EQ(run(421)->stringResult, "/Applications/Demo.app/Contents/MacOS/zivra~!-psn_0_42~!");
}

TEST_F(KW_CommandsTest, MousePositionAndTheNoActionIdsKeepWhatTheParserStored) {
  for (int32_t id : {414, 110, 204, 222, 302, 303, 315, 316, 322, 507, 0, 999}) {
    auto data = run(id, nullptr, [](CocoaInterfaceData& d) {
      d.numberResult = 12;
      d.numberResult2 = 34;
      d.stringResult = "parser";
    });
    EXPECT_EQ(data->numberResult, 12) << id;
    EXPECT_EQ(data->numberResult2, 34) << id;
    EXPECT_EQ(data->stringResult, "parser") << id;
    EXPECT_EQ(data->completed, 1) << id;
  }
}

TEST_F(KW_CommandsTest, EachTableIdBelongsToItsFamily) {
  const std::vector<std::pair<CommandFamilyKind, std::vector<int32_t>>> expected = {
      {CommandFamilyKind::Menu, {100, 105, 109, 111}},
      {CommandFamilyKind::System, {200, 203, 205, 210, 212, 221, 223, 227, 229, 231, 232, 400, 402, 403, 404,
                                   405, 406, 407, 409, 410, 411, 412, 413, 415}},
      {CommandFamilyKind::Window, {300, 301, 305, 307, 309, 313, 314, 317, 319, 321, 416, 419}},
      {CommandFamilyKind::File, {500, 501, 506, 508, 513, 516, 520}},
      {CommandFamilyKind::Network, {401, 420, 600, 601}},
  };
  for (const auto& [kind, ids] : expected) {
    for (int32_t id : ids) EXPECT_EQ(commandFamilyOf(id), kind) << id;
  }
  for (int32_t id : {110, 204, 211, 222, 230, 302, 303, 304, 306, 315, 316, 320, 322, 408, 414, 417, 418, 421,
                     507, 602, 700, 701, 702, 0, -1, 99, 112, 233, 521}) {
    EXPECT_FALSE(commandFamilyOf(id).has_value()) << id;
  }
}

TEST_F(KW_CommandsTest, FamilyCommandsReachTheirFamilyWithTheCallsArguments) {
  auto window = std::make_shared<RecordingFamily>();
  auto file = std::make_shared<RecordingFamily>();
  handler().setFamily(CommandFamilyKind::Window, window);
  handler().setFamily(CommandFamilyKind::File, file);
  auto startDrag = run(314);
  run(513);
  EXPECT_EQ(run(700)->numberResult, 1);
  EXPECT_EQ(window->ran, std::vector<int32_t>{314});
  EXPECT_EQ(file->ran, std::vector<int32_t>{513});
  EXPECT_EQ(window->lastWindow, main.window.get());
  EXPECT_EQ(window->lastPlugin, main.plugin.get());
  EXPECT_EQ(main.window->dragging, 1);
  EXPECT_EQ(startDrag->numberResult, 99);
  EXPECT_EQ(startDrag->status, 0);
}

TEST_F(KW_CommandsTest, WithoutItsFamilyACommandDoesNothingAndIsStillAnswered) {
  auto data = run(309, nullptr, [](CocoaInterfaceData& d) { d.intParam1 = 400; });
  EXPECT_EQ(data->completed, 1);
  EXPECT_EQ(data->status, 0);
  EXPECT_EQ(handler().family(CommandFamilyKind::Window), nullptr);
  auto family = std::make_shared<RecordingFamily>();
  handler().setFamily(CommandFamilyKind::Window, family);
  handler().setFamily(CommandFamilyKind::Window, nullptr);
  run(309);
  EXPECT_TRUE(family->ran.empty());
}

}  // namespace
}  // namespace kw
