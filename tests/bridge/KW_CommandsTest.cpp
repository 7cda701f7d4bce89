// Tests of the command handler: the dispatch steps, the commands it runs
// itself, and the routing of every other ID to its command family.
#include <gtest/gtest.h>

#include "mac/commands/KW_Commands.h"
#include "mac/platform/SystemLog.h"
#include "tests/bridge/BridgeTestHost.h"

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

class KW_CommandsTest : public ::testing::Test {
 protected:
  std::unique_ptr<CocoaInterfaceData> record(int32_t id) {
    auto data = CocoaInterfaceData::create(0, main.plugin.get(), {});
    data->functionNumber = id;
    return data;
  }
  // Runs a record through the main window's handler as its view does.
  void run(CocoaInterfaceData& data) { main.window->processOneEvent(data); }
  KW_Commands& handler() { return main.window->commands; }

  test::BridgeTestHost env;
  test::Movie& main = env.openMovie("main");
};

// ---- Dispatch steps ----

TEST_F(KW_CommandsTest, DispatchMarksTheRecordDispatchedCompletedAndStatusZero) {
  auto data = record(700);
  data->status = -202;
  run(*data);
  EXPECT_EQ(data->dispatched, 1);
  EXPECT_EQ(data->completed, 1);
  EXPECT_EQ(data->status, 0);
}

TEST_F(KW_CommandsTest, NullAndUnmarkedRecordsAreIgnoredButTheFirstCallIsTaken) {
  auto menuFamily = std::make_shared<RecordingFamily>();
  handler().setFamily(CommandFamilyKind::Menu, menuFamily);
  int bundleStandIn = 0;
  const auto* bundle = reinterpret_cast<const Bundle*>(&bundleStandIn);
  handler().doZFunction(main.window.get(), bundle, nullptr, nullptr, nullptr, main.plugin.get(), nullptr);
  EXPECT_EQ(handler().fFirstTime, 0);
  EXPECT_EQ(handler().fPlugin, main.plugin.get());
  EXPECT_EQ(handler().fBundle, bundle);
  EXPECT_EQ(menuFamily->firstDispatches.size(), 1u);

  auto data = record(100);
  data->sanityCheck = 0x49436F43;  // the marker's bytes the other way round
  run(*data);
  EXPECT_EQ(data->dispatched, 0);
  EXPECT_EQ(data->completed, 0);
  EXPECT_TRUE(menuFamily->ran.empty());
  // The first call happens once only.
  run(*record(100));
  EXPECT_EQ(menuFamily->firstDispatches.size(), 1u);
  EXPECT_EQ(menuFamily->ran, std::vector<int32_t>{100});
}

TEST_F(KW_CommandsTest, ASecondDispatchLogsBadZFunctionAndRunsNothing) {
  ScopedLogCapture log;
  auto data = record(408);
  data->stringParam1 = "once";
  run(*data);
  data->status = 3;
  run(*data);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Zivra trace -> once", "BAD ZFunction"}));
  EXPECT_EQ(data->status, 3);  // the second dispatch changed nothing
}

// ---- Commands run by the handler ----

TEST_F(KW_CommandsTest, TraceLogsTheMessageWithEscapesRemoved) {
  ScopedLogCapture log;
  auto escaped = record(408);
  escaped->stringParam1 = "Hello%20World%21";
  run(*escaped);
  auto missing = record(408);
  run(*missing);
  auto undefinedText = record(408);
  undefinedText->stringParam1 = "undefined";
  run(*undefinedText);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Zivra trace -> Hello World!", "Zivra trace -> ",
                                                   "Zivra trace -> "}));
}

TEST_F(KW_CommandsTest, GetParameterAnswersTheWindowsParameter) {
  auto data = record(306);
  run(*data);
  EXPECT_EQ(data->stringResult, "main");

  handler().setParameter(nullptr);  // a null text keeps the old one
  handler().setParameter("second");
  auto again = record(306);
  run(*again);
  EXPECT_EQ(again->stringResult, "second");

  test::Movie& bare = env.openMovie(nullptr);
  auto none = record(306);
  bare.window->processOneEvent(*none);
  EXPECT_FALSE(none->stringResult.has_value());
}

TEST_F(KW_CommandsTest, GetWindowAnswersTheCreatorsIdentityOrZero) {
  auto first = record(417);
  run(*first);
  EXPECT_EQ(first->numberResult, 0);

  test::Movie& child = env.openMovie("child", main.plugin.get());
  auto fromChild = record(417);
  child.window->processOneEvent(*fromChild);
  EXPECT_EQ(fromChild->numberResult, static_cast<int32_t>(env.identityOf(main)));
  EXPECT_NE(fromChild->numberResult, 0);

  // Once the creator has left the registry its identity names nothing.
  env.registry.forget(main.plugin.get());
  auto orphan = record(417);
  child.window->processOneEvent(*orphan);
  EXPECT_EQ(orphan->numberResult, 0);
}

TEST_F(KW_CommandsTest, EnableCachingSetsTheDefaultAndEveryRegisteredProjector) {
  test::Movie& other = env.openMovie("other");
  auto off = record(418);
  off->boolParam1 = 0;
  run(*off);
  EXPECT_FALSE(env.host->cachingDefault);
  EXPECT_FALSE(main.plugin->fOkToCache);
  EXPECT_FALSE(other.plugin->fOkToCache);
  EXPECT_FALSE(FlashPlugin(*env.host, true).fOkToCache);  // instances made later start from the default

  auto on = record(418);
  on->boolParam1 = 1;
  run(*on);
  EXPECT_TRUE(env.host->cachingDefault);
  EXPECT_TRUE(other.plugin->fOkToCache);
}

TEST_F(KW_CommandsTest, MonitorNumberAndPlayModeComeFromTheHandler) {
  auto monitor = record(700);
  run(*monitor);
  EXPECT_EQ(monitor->numberResult, 1);
  auto mode = record(702);
  run(*mode);
  EXPECT_EQ(mode->numberResult, 0);

  handler().setMonitorNumber(2);
  handler().setPlayMode(3);
  auto monitor2 = record(700);
  run(*monitor2);
  EXPECT_EQ(monitor2->numberResult, 2);
  auto mode2 = record(702);
  run(*mode2);
  EXPECT_EQ(mode2->numberResult, 3);
}

TEST_F(KW_CommandsTest, GetArgumentsIsAnXmlListWhenSynchronousAndATildeListOtherwise) {
  auto sync = record(421);
  sync->synchronous = 1;
  run(*sync);
  EXPECT_EQ(sync->stringResult,
            "<object><property id=\"KW_array\"><array>"
            "<property id=\"0\"><string>/Applications/Demo.app/Contents/MacOS/zivra</string></property>"
            "<property id=\"1\"><string>-psn_0_42</string></property>"
            "<property id =\"length\"><number>2</number></property>"
            "</array></property></object>");
  auto async = record(421);
  run(*async);
  EXPECT_EQ(async->stringResult, "/Applications/Demo.app/Contents/MacOS/zivra~!-psn_0_42~!");
}

TEST_F(KW_CommandsTest, MousePositionAndTheNoActionIdsKeepWhatTheParserStored) {
  for (int32_t id : {414, 110, 204, 222, 302, 303, 315, 316, 322, 507, 0, 999}) {
    auto data = record(id);
    data->numberResult = 12;
    data->numberResult2 = 34;
    data->stringResult = "parser";
    run(*data);
    EXPECT_EQ(data->numberResult, 12) << id;
    EXPECT_EQ(data->numberResult2, 34) << id;
    EXPECT_EQ(data->stringResult, "parser") << id;
    EXPECT_EQ(data->completed, 1) << id;
  }
}

// ---- Families ----

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
  auto startDrag = record(314);
  run(*startDrag);
  auto exists = record(513);
  run(*exists);
  auto core = record(700);
  run(*core);
  EXPECT_EQ(window->ran, std::vector<int32_t>{314});
  EXPECT_EQ(file->ran, std::vector<int32_t>{513});
  EXPECT_EQ(window->lastWindow, main.window.get());
  EXPECT_EQ(window->lastPlugin, main.plugin.get());
  EXPECT_EQ(main.window->dragging, 1);
  EXPECT_EQ(startDrag->numberResult, 99);
  EXPECT_EQ(startDrag->status, 0);
  EXPECT_EQ(core->numberResult, 1);
}

TEST_F(KW_CommandsTest, WithoutItsFamilyACommandDoesNothingAndIsStillAnswered) {
  auto data = record(309);
  data->intParam1 = 400;
  run(*data);
  EXPECT_EQ(data->completed, 1);
  EXPECT_EQ(data->status, 0);
  EXPECT_EQ(handler().family(CommandFamilyKind::Window), nullptr);

  auto family = std::make_shared<RecordingFamily>();
  handler().setFamily(CommandFamilyKind::Window, family);
  handler().setFamily(CommandFamilyKind::Window, nullptr);
  run(*record(309));
  EXPECT_TRUE(family->ran.empty());
}

}  // namespace
}  // namespace kw
