// End-to-end runs of the command families: the first window's movie, played by
// the stand-in plug-in, sends real command requests in each form (URL requests
// answered as loaded variables, ExternalInterface calls with the URL and with
// the list); the test checks what the movie received, the sim desktop and the
// files under the temporary folder.
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "mac/commands/PercentEscaping.h"
#include "mac/platform/Menu.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "tests/support/CommandFixture.h"
#include "tests/support/ScopedEnv.h"
#include "tools/standin/StandInReport.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;
using standin::StandInReport;

enum class Form { Url, ExternalUrl, ExternalList };

// One request: its URL form (after "KW://KW_"), its list form, and the reply the
// movie must get as loaded variables and as ExternalInterface XML. Replies may
// name values known only once the movie runs ("$SIZE", "$ID").
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
    const swf::Bytes movie = appMovie(200, 150, 12, !urlRequests(), requests);
    values["$SIZE"] = std::to_string(movie.size());
    writeFile(resources() / "zvdata.zve", movie);
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

TEST_P(FamiliesEndToEnd, FilesAreWrittenReadListedAndTrashed) {
  ScopedEnv trash("XDG_DATA_HOME", (dir.path() / "data").string());
  const fs::path work = dir.path() / "my files";
  fs::create_directories(work);
  const std::string file = (work / "a.txt").string();
  const std::string movie = (resources() / "zvdata.zve").string();
  const std::string version = urlRequests() ? "8" : "9";
  const std::string header = "<object><property id=\"FileSize\"><number>$SIZE</number></property><property "
                             "id=\"FrameCount\"><number>2</number></property><property id=\"FrameRate\"><number>12"
                             "</number></property><property id=\"Height\"><number>150</number></property><property "
                             "id=\"Version\"><number>" + version + "</number></property><property id=\"Width\">"
                             "<number>200</number></property></object>";
  const Frames frames = {
      {{"zFile.writeString?fileName=" + q(file) + "&textToWrite=caf%C3%A9%20%26%20co",
        "[\"zFile\",\"writeString\",\"" + file + "\",\"caf\xC3\xA9 & co\"]", "&returnValue=1", "<true/>"},
       {"zFile.readString?fileName=" + q(file), "[\"zFile\",\"readString\",\"" + file + "\"]",
        "&returnValue=caf%C3%A9%20%26%20co", "<string>caf%C3%A9%20%26%20co</string>"},
       {"zFile.fileExists?fileName=" + q(file), "[\"zFile\",\"fileExists\",\"" + file + "\"]", "&returnValue=1",
        "<true/>"},
       {"zFile.listFiles?folderName=" + q(work), "[\"zFile\",\"listFiles\",\"" + work.string() + "\"]",
        "&returnValue=a.txt",
        "<object><property id=\"KW_array\"><array><property id=\"0\"><string>a.txt</string></property>"
        "<property id =\"length\"><number>1</number></property></array></property></object>"},
       {"zFile.getFlashHeader?filePath=" + q(movie), "[\"zFile\",\"getFlashHeader\",\"" + movie + "\"]",
        "&returnValue=" + header, header}},
      {{"zFile.deleteFile?fileName=" + q(file), "[\"zFile\",\"deleteFile\",\"" + file + "\"]", "&returnValue=1",
        "<true/>"},
       {"zFile.fileExists?fileName=" + q(work / "." / "a.txt"),
        "[\"zFile\",\"fileExists\",\"" + (work / "." / "a.txt").string() + "\"]", "&returnValue=0", "<false/>"}}};
  play(frames);
  expectReplies(frames);
  // The text went in as UTF-16 with its byte order mark, and the file is in the Trash.
  std::u16string text = u"\uFEFFcaf\u00E9 & co";
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(readFile(dir.path() / "data" / "Trash" / "files" / "a.txt"), bytes);
}

TEST_P(FamiliesEndToEnd, WindowGeometryTitleAlphaAndASecondWindow) {
  writeFile(resources() / "second.swf", appMovie(120, 90));
  const std::string create =
      "&x=10&y=20&parameter=p&title=Second&type=FRAME&backgroundColor=&ownedByMainWindow=true&initialAlpha=100"
      "&resizeable=false&hasShadow=true&shapeFilename=";
  const Frames frames = {
      {{"zWindow.setPosition?x=130&y=40", "[\"zWindow\",\"setPosition\",\"0\",\"130\",\"40\"]", "", ""},
       {"zWindow.getPosition", "[\"zWindow\",\"getPosition\"]", "&returnValue1=130&returnValue2=40", point(130, 40)},
       {"zWindow.setSize?width=400&height=300", "[\"zWindow\",\"setSize\",\"0\",\"400\",\"300\"]", "", ""},
       {"zWindow.getSize", "[\"zWindow\",\"getSize\",\"0\"]", "&returnValue1=400&returnValue2=300", point(400, 300)},
       {"zWindow.setTitle?title=Hello%2C%20there", "[\"zWindow\",\"setTitle\",\"0\",\"Hello, there\"]", "", ""},
       {"zWindow.setAlpha?level=50", "[\"zWindow\",\"setAlpha\",\"0\",\"50\"]", "", ""}},
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
  const double top = desktop.mainScreenFrame().maxY();
  EXPECT_EQ(first.frame(), (DesktopRect{{130, top - 40 - 22 - 300}, {400, 322}}));
  EXPECT_EQ(first.title(), "Hello, there");
  EXPECT_DOUBLE_EQ(first.alphaValue(), 0.5);
  // The second window is on the desktop, plays its own movie, and is owned by the first.
  EXPECT_NE(std::find(desktop.windows().begin(), desktop.windows().end(), second->nativeWindow()),
            desktop.windows().end());
  EXPECT_EQ(second->window()->title(), "Second");
  EXPECT_EQ(second->window()->contentRect(), (DesktopRect{{10, top - 20 - 90}, {120, 90}}));
  EXPECT_EQ(first.childWindowList, std::vector<FlashWindow*>{second});
  EXPECT_EQ(report(second).framesPlayed, 1u);
}

TEST_P(FamiliesEndToEnd, ScreensUserAndAnsweredDialog) {
  desktop.setScreens({ScreenFrame{{0, 0}, 1024, 768}, ScreenFrame{{1024, -256}, 1280, 1024}});
  assembly.alerts.answers = {0};
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  const std::string user = account->pw_name;
  auto monitor = [](int top, int left, int right, int bottom) {
    return "<object><property id=\"top\"><number>" + std::to_string(top) + "</number></property><property id=\"left\">"
           "<number>" + std::to_string(left) + "</number></property><property id=\"right\"><number>" +
           std::to_string(right) + "</number></property><property id=\"bottom\"><number>" + std::to_string(bottom) +
           "</number></property></object>";
  };
  const Frames frames = {
      {{"zSystem.getScreenSize?returnVarName1=w&returnVarName2=h", "[\"zSystem\",\"getScreenSize\"]",
        "&w=1024&h=768", point(1024, 768)},
       {"zSystem.getUserName", "[\"zSystem\",\"getUserName\"]", "&returnValue=" + user, "<string>" + user + "</string>"},
       {"zSystem.listMonitors", "[\"zSystem\",\"listMonitors\"]", "&returnValue=0:0:1024:768,1024:-256:2304:768",
        "<object><property id=\"KW_array\"><array><property id =\"length\"><number>2</number></property>"
        "<property id=\"0\">" + monitor(0, 0, 1024, 768) + "</property><property id=\"1\">" +
            monitor(-256, 1024, 2304, 768) + "</property></array></property></object>"},
       {"zApplication.messageDialog?title=Save%3F&message=Keep%20it&defaultButton=Yes&alternateButton=No"
        "&otherButton=Later",
        "[\"zApplication\",\"messageDialog\",\"Save?\",\"Keep it\",\"Yes\",\"No\",\"Later\"]", "&returnValue=1",
        "<number>1</number>"}}};
  play(frames);
  expectReplies(frames);
  ASSERT_EQ(assembly.alerts.shown.size(), 1u);
  EXPECT_EQ(std::tie(assembly.alerts.shown[0].title, assembly.alerts.shown[0].text, assembly.alerts.shown[0].buttons),
            std::make_tuple("Save?", "Keep it", std::vector<std::string>{"Yes", "No", "Later"}));
}

TEST_P(FamiliesEndToEnd, ChosenMenuBarItemSendsItsEvent) {
  const Frames frames = {
      {{"zMenu.createMenu?menuName=Tools", "[\"zMenu\",\"createMenu\",\"Tools\"]", "", ""},
       {"zMenu.addMenuToMenuBar?menuName=Tools", "[\"zMenu\",\"addMenuToMenuBar\",\"Tools\"]", "", ""},
       {"zMenu.addItem?menuName=Tools&itemName=Go%20on&shortcut=71,19",
        "[\"zMenu\",\"addItem\",\"Go on\",\"Tools\",\"71,19\"]", "", ""}}};
  play(frames);
  expectReplies(frames);
  MenuItem* tools = desktop.mainMenu ? desktop.mainMenu->itemWithTitle("Tools") : nullptr;
  ASSERT_TRUE(tools != nullptr && tools->submenu);
  MenuItem* go = tools->submenu->itemWithTitle("Go on");
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(std::tie(go->keyEquivalent, go->keyEquivalentModifierMask), std::make_tuple("G", kDesktopCommand));
  EXPECT_TRUE(go->perform());
  assembly.runLoop.runFor(0.5);
  // ActionScript 1 and 2 movies get the event through the back channel, after
  // the window's activation; there is no event XML for it.
  const StandInReport& received = report();
  const std::vector<std::string> expected = {"ARRAY_OF_STRINGS=zMenu~!onCommand~!Tools~!Go on"};
  std::vector<std::string> menuEvents;
  std::copy_if(received.backChannelMessages.begin(), received.backChannelMessages.end(),
               std::back_inserter(menuEvents), [](const std::string& m) { return m.find("zMenu") != m.npos; });
  EXPECT_EQ(menuEvents, urlRequests() ? expected : std::vector<std::string>{});
  EXPECT_TRUE(std::none_of(received.syncEvents.begin(), received.syncEvents.end(),
                           [](const std::string& xml) { return xml.find("zMenu") != xml.npos; }));
}

std::string formName(const ::testing::TestParamInfo<Form>& info) {
  static const char* const kNames[] = {"LoadedVariables", "ExternalCall", "ExternalList"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Forms, FamiliesEndToEnd, ::testing::Values(Form::Url, Form::ExternalUrl, Form::ExternalList),
                         formName);

}  // namespace
}  // namespace kw::test
