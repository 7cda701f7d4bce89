// End-to-end runs of the command families: the first window's movie, played by
// the stand-in plug-in, sends real command requests in each form (URL requests
// answered as loaded variables, ExternalInterface calls with the URL and with
// the list); the test checks what the movie received, the sim desktop and the
// files under the temporary folder.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "mac/commands/PercentEscaping.h"
#include "mac/platform/Menu.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "tests/support/CommandFixture.h"
#include "tools/standin/StandInReport.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;
using standin::StandInReport;

enum class Form { Url, ExternalUrl, ExternalList };

// One request: its URL form (after "KW://KW_"), its list form, and the reply the
// movie must get as loaded variables and as ExternalInterface XML. Replies may
// name values known only once the movie runs ("$ID").
struct Step {
  std::string url, list, variables, xml;
};
using Frames = std::vector<std::vector<Step>>;

std::string point(int x, int y) {
  return "<object><property id=\"x\"><number>" + std::to_string(x) + "</number></property><property id=\"y\"><number>" +
         std::to_string(y) + "</number></property></object>";
}

class FamiliesEndToEnd : public CommandFixture, public ::testing::WithParamInterface<Form> {
 protected:
  ~FamiliesEndToEnd() override {
    std::error_code ec;
    fs::current_path(cwd_, ec);  // the controller moves it beside the bundle
  }

  bool urlRequests() const { return GetParam() == Form::Url; }
  // The getURL (URL, target) the movie makes for a step.
  std::pair<std::string, std::string> request(const Step& step) const {
    if (GetParam() == Form::ExternalList) return {step.list, "_ExternalInterface"};
    return {"KW://KW_" + step.url, urlRequests() ? "" : "_ExternalInterface"};
  }

  // Writes the movie whose frames send the steps (ActionScript 3 for
  // ExternalInterface calls), starts the application and plays the movie through.
  void play(const Frames& frames) {
    std::vector<std::vector<std::pair<std::string, std::string>>> requests;
    for (const auto& frame : frames) {
      requests.emplace_back();
      for (const Step& step : frame) requests.back().push_back(request(step));
    }
    writeFile(resources() / "zvdata.zve", appMovie(200, 150, 12, !urlRequests(), requests));
    startApplication();
    assembly.runLoop.runFor(static_cast<double>(frames.size()) / 12 + 0.5);
    ASSERT_EQ(report().framesPlayed, frames.size());
  }

  const StandInReport& report(const FlashWindow* window = nullptr) {
    if (!code) code = LoadedCode::load(*Bundle::open(resources() / "fpb.plugin"));
    const auto hook = reinterpret_cast<StandIn_ReportFuncPtr>(code->symbol("StandIn_Report"));
    return *hook((window != nullptr ? window : controller->flashWindow())->plugin()->instance());
  }

  // Every step's reply, in its form's encoding, in the order of the requests.
  void expectReplies(const Frames& frames) {
    const StandInReport& received = report();
    size_t call = 0, steps = 0;
    for (const auto& frame : frames) steps += frame.size();
    EXPECT_EQ(urlRequests() ? received.replies.size() : received.externalCalls.size(), steps);
    for (const auto& frame : frames) {
      for (const Step& step : frame) {
        std::string expected = urlRequests() ? step.variables : step.xml;
        for (const auto& [name, value] : values) {
          for (size_t at; (at = expected.find(name)) != std::string::npos;) expected.replace(at, name.size(), value);
        }
        const std::string url = request(step).first;
        if (urlRequests()) {
          const auto reply = std::find_if(received.replies.begin(), received.replies.end(),
                                          [&](const auto& r) { return r.requestUrl == url; });
          ASSERT_NE(reply, received.replies.end()) << url;
          EXPECT_EQ(reply->variables, expected) << url;
        } else {
          ASSERT_LT(call, received.externalCalls.size()) << url;
          EXPECT_EQ(received.externalCalls[call].url, url);
          EXPECT_EQ(received.externalCalls[call++].xml, expected) << url;
        }
      }
    }
  }

  // A path as a URL request's parameter value (list items carry it as it is).
  static std::string q(const fs::path& path) { return stringByAddingPercentEscapesIncludingAmpersands(path.string()); }

  std::map<std::string, std::string> values;
  std::unique_ptr<LoadedCode> code;

 private:
  fs::path cwd_ = fs::current_path();
};

// One movie drives every family (the exact replies of each command are the
// family tests'): a file written and read; the window's position, title and
// alpha and a second window; the screen and an answered dialog; a menu bar
// item whose event reaches only movies that take it through the back channel.
TEST_P(FamiliesEndToEnd, EveryFamilyAnswersTheMovieInItsForm) {
  desktop.setScreens({ScreenFrame{{0, 0}, 1024, 768}});
  assembly.alerts.answers = {0};
  writeFile(resources() / "second.swf", appMovie(120, 90));
  const fs::path work = dir.path() / "my files";
  fs::create_directories(work);
  const std::string file = (work / "a.txt").string();
  const std::string create =
      "&x=10&y=20&parameter=p&title=Second&type=FRAME&backgroundColor=&ownedByMainWindow=true&initialAlpha=100"
      "&resizeable=false&hasShadow=true&shapeFilename=";
  const Frames frames = {
      {{"zFile.writeString?fileName=" + q(file) + "&textToWrite=caf%C3%A9%20%26%20co",
        "[\"zFile\",\"writeString\",\"" + file + "\",\"caf\xC3\xA9 & co\"]", "&returnValue=1", "<true/>"},
       {"zFile.readString?fileName=" + q(file), "[\"zFile\",\"readString\",\"" + file + "\"]",
        "&returnValue=caf%C3%A9%20%26%20co", "<string>caf%C3%A9%20%26%20co</string>"},
       {"zWindow.setPosition?x=130&y=40", "[\"zWindow\",\"setPosition\",\"0\",\"130\",\"40\"]", "", ""},
       {"zWindow.getPosition", "[\"zWindow\",\"getPosition\"]", "&returnValue1=130&returnValue2=40", point(130, 40)},
       {"zWindow.setTitle?title=Hello%2C%20there", "[\"zWindow\",\"setTitle\",\"0\",\"Hello, there\"]", "", ""},
       {"zWindow.setAlpha?level=50", "[\"zWindow\",\"setAlpha\",\"0\",\"50\"]", "", ""},
       {"zSystem.getScreenSize?returnVarName1=w&returnVarName2=h", "[\"zSystem\",\"getScreenSize\"]",
        "&w=1024&h=768", point(1024, 768)},
       {"zApplication.messageDialog?title=Save%3F&message=Keep%20it&defaultButton=Yes&alternateButton=No"
        "&otherButton=Later",
        "[\"zApplication\",\"messageDialog\",\"Save?\",\"Keep it\",\"Yes\",\"No\",\"Later\"]", "&returnValue=1",
        "<number>1</number>"},
       {"zMenu.createMenu?menuName=Tools", "[\"zMenu\",\"createMenu\",\"Tools\"]", "", ""},
       {"zMenu.addMenuToMenuBar?menuName=Tools", "[\"zMenu\",\"addMenuToMenuBar\",\"Tools\"]", "", ""},
       {"zMenu.addItem?menuName=Tools&itemName=Go%20on&shortcut=71,19",
        "[\"zMenu\",\"addItem\",\"Go on\",\"Tools\",\"71,19\"]", "", ""}},
      {{"createWindow?flashFileName=second.swf" + create,
        "[\"zApplication\",\"createWindow\",\"second.swf\",\"10\",\"20\",\"p\",\"Second\",\"FRAME\",\"\",\"true\","
        "\"100\",\"false\",\"true\",\"\"]",
        "&returnValue=$ID", "<number>$ID</number>"}}};
  play(frames);
  ASSERT_EQ(controller->flashWindowList().size(), 2u);
  FlashWindow* second = controller->flashWindowList()[1];
  values["$ID"] = std::to_string(assembly.registry.identityOf(second->plugin()));
  expectReplies(frames);

  // Global coordinates: the title bar's top 40 points below the screen's top.
  CustomWindow& first = *controller->flashWindow()->window();
  EXPECT_EQ(first.frame(), (DesktopRect{{130, 768 - 40 - 22 - 150}, {200, 172}}));
  EXPECT_EQ(first.title(), "Hello, there");
  EXPECT_DOUBLE_EQ(first.alphaValue(), 0.5);
  // The second window plays its own movie and is owned by the first.
  EXPECT_EQ(second->window()->title(), "Second");
  EXPECT_EQ(second->window()->contentRect(), (DesktopRect{{10, 768 - 20 - 90}, {120, 90}}));
  EXPECT_EQ(first.childWindowList, std::vector<FlashWindow*>{second});
  EXPECT_EQ(report(second).framesPlayed, 1u);

  ASSERT_EQ(assembly.alerts.shown.size(), 1u);
  EXPECT_EQ(std::tie(assembly.alerts.shown[0].title, assembly.alerts.shown[0].text, assembly.alerts.shown[0].buttons),
            std::make_tuple("Save?", "Keep it", std::vector<std::string>{"Yes", "No", "Later"}));

  MenuItem* tools = desktop.mainMenu ? desktop.mainMenu->itemWithTitle("Tools") : nullptr;
  MenuItem* go = tools != nullptr && tools->submenu ? tools->submenu->itemWithTitle("Go on") : nullptr;
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(std::tie(go->keyEquivalent, go->keyEquivalentModifierMask), std::make_tuple("G", kDesktopCommand));
  EXPECT_TRUE(go->perform());
  assembly.runLoop.runFor(0.5);
  // ActionScript 1 and 2 movies get the event through the back channel, after
  // the window's activation; there is no event XML for it.
  std::vector<std::string> menuEvents;  // back channel messages and event XML naming the menu
  for (const auto* list : {&report().backChannelMessages, &report().syncEvents}) {
    std::copy_if(list->begin(), list->end(), std::back_inserter(menuEvents),
                 [](const std::string& m) { return m.find("zMenu") != m.npos; });
  }
  EXPECT_EQ(menuEvents, urlRequests() ? std::vector<std::string>{"ARRAY_OF_STRINGS=zMenu~!onCommand~!Tools~!Go on"}
                                      : std::vector<std::string>{});
}

std::string formName(const ::testing::TestParamInfo<Form>& info) {
  static const char* const kNames[] = {"LoadedVariables", "ExternalCall", "ExternalList"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Forms, FamiliesEndToEnd, ::testing::Values(Form::Url, Form::ExternalUrl, Form::ExternalList),
                         formName);

}  // namespace
}  // namespace kw::test
