// Web page windows in the started application: the three placements, the
// registries, page paths, commands addressed to a page by its identity,
// scripts and the JavaScript panels, new windows sent to the user's browser,
// and the delayed teardown. One page comes over http from a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "mac/commands/CommandRunner.h"
#include "mac/net/WebWindows.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "tests/support/CommandFixture.h"
#include "tests/support/LoopbackHttpServer.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;

class WebWindow : public CommandFixture {
 protected:
  WebWindow() {
    withWebWindows = true;
    page(resources() / "help" / "index.html", "Help",
         "<a href=\"next.html\" target=\"_blank\">n</a><a href=\"next.html\">same</a>");
    page(resources() / "help" / "next.html", "Next", "");
    startApplication();
  }
  ~WebWindow() override {
    std::error_code ec;
    fs::current_path(cwd_, ec);  // the controller moves it beside the bundle
  }

  static void page(const fs::path& path, const std::string& title, const std::string& body) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "<html><head><title>" << title << "</title></head><body>" << body << "</body></html>";
  }
  std::string sync(const std::string& command) { return run("KW://KW_" + command, true).reply; }
  // A command addressed to an instance by identity, handed over as the command runner does.
  std::unique_ptr<CocoaInterfaceData> runOn(uint32_t identity, const std::string& command) {
    auto record = std::make_unique<CocoaInterfaceData>();
    const std::string text = command + (command.find('?') == std::string::npos ? "?" : "&") +
                             "windowID=" + std::to_string(identity);
    EXPECT_EQ(parseCommand(text, record.get(), true, false, mouse), kStatusRunCommand);
    EXPECT_TRUE(handRecordToTarget(*record, controller->flashWindow()->plugin(), assembly.services()));
    return record;
  }
  CustomWindow& caller() { return *controller->flashWindow()->window(); }
  webKitWindow& newest() { return *webWindows->windows().back(); }
  SimWebView& viewOf(webKitWindow& w) { return static_cast<SimWebView&>(*w.webView()); }
  uint32_t open(const std::string& command) {
    const std::string reply = sync(command);
    return static_cast<uint32_t>(std::stoul(reply.substr(8)));  // "<number>N</number>"
  }
  std::string fileURL(const fs::path& path) { return "file://" + path.lexically_normal().string(); }
  bool listed(webKitWindow& w) {
    const auto& list = controller->webWindowList();
    return std::find(list.begin(), list.end(), static_cast<PluginWindow*>(&w)) != list.end();
  }

 private:
  fs::path cwd_ = fs::current_path();
};

TEST_F(WebWindow, OwnWindowIsFramedPlacedRegisteredAndLoadsTheResourcePage) {
  const uint32_t id =
      open("createMediaWindow?fileName=help/index.html&x=40&y=60&width=300&height=200&parameter=p&title=Docs");
  webKitWindow& w = newest();
  Window* window = w.nativeWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->styleMask(), kTitledWindowMask | kClosableWindowMask | kMiniaturizableWindowMask |
                                     kResizableWindowMask);
  EXPECT_TRUE(window->hasShadow());
  EXPECT_EQ(window->title(), "Docs");
  EXPECT_EQ(window->frame(), (DesktopRect{{40, 900 - 60 - 222}, {300, 222}}));
  EXPECT_TRUE(window->isKeyWindow());
  // The proxy stands for the page in the registry; the controller lists it.
  EXPECT_EQ(assembly.registry.pluginForIdentity(id), w.plugin());
  EXPECT_TRUE(listed(w));

  EXPECT_EQ(w.webView()->mainFrameURL(), fileURL(resources() / "help/index.html"));
  assembly.runLoop.runFor(0.01);
  EXPECT_EQ(w.webView()->title(), "Help");
}

TEST_F(WebWindow, EmbeddedPageIsASubviewOrAChildWindowAboveAWindowlessMovie) {
  EXPECT_NE(open("zWindow.embedMediaWindow?fileName=help/index.html&x=5&y=6&width=70&height=80"), 0u);
  webKitWindow& sub = newest();
  EXPECT_EQ(sub.nativeWindow(), nullptr);
  EXPECT_EQ(sub.webView()->superview(), caller().contentView());
  EXPECT_EQ(sub.webView()->frame(), (DesktopRect{{5, 6}, {70, 80}}));

  // An alpha window's page: a borderless window at the caller's content
  // corner plus (x, y), attached above it.
  WebWindowArgs args;
  args.window = &caller();
  args.filePath = "help/index.html";
  args.x = 10, args.y = 20, args.width = 50, args.height = 40;
  args.embed = args.windowless = true;
  EXPECT_NE(webWindows->createWebWindow(args), 0u);
  Window* child = newest().nativeWindow();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->styleMask(), kBorderlessWindowMask);
  EXPECT_EQ(child->parentWindow(), &caller());
  const DesktopRect content = caller().contentRect();
  EXPECT_EQ(child->frame(), (DesktopRect{{content.minX() + 10, content.maxY() - 20 - 40}, {50, 40}}));
}

TEST_F(WebWindow, PageTextsBecomeURLs) {
  const fs::path spaced = dir.path() / "my page.html";
  page(spaced, "Spaced", "");
  const struct {
    std::string text;
    std::string url;  // "" : no URL, reply 0
  } cases[] = {
      {"help/../help/next.html\r\n", fileURL(resources() / "help/next.html")},
      {(dir.path() / "my%20page.html").string(), fileURL(dir.path() / "my%20page.html")},
      {"http://127.0.0.1:9/x.html", "http://127.0.0.1:9/x.html"},
      {"a b.html", ""},
  };
  for (const auto& c : cases) {
    WebWindowArgs args;
    args.filePath = c.text;
    args.width = args.height = 10;
    const uint32_t id = webWindows->createWebWindow(args);
    EXPECT_EQ(id != 0, !c.url.empty()) << c.text;
    EXPECT_EQ(newest().webView()->mainFrameURL(), c.url) << c.text;
    EXPECT_TRUE(listed(newest())) << c.text;  // registered either way
  }
  assembly.runLoop.runFor(0.01);
  EXPECT_EQ(webWindows->windows()[1]->webView()->title(), "Spaced");
}

TEST_F(WebWindow, CommandsReachThePageByIdentity) {
  const uint32_t id = open("createMediaWindow?fileName=help/index.html&x=0&y=0&width=300&height=200&parameter=&title=");
  webKitWindow& w = newest();
  runOn(id, "zWindow.setTitle?title=Renamed");
  EXPECT_EQ(w.nativeWindow()->title(), "Renamed");
  EXPECT_EQ(asyncReplyVariables(*runOn(id, "zWindow.getSize")), "&returnValue1=300&returnValue2=200");
  // loadMedia loads the home page; its parameters are not used.
  EXPECT_TRUE(runOn(id, "zWindow.loadMedia?fileName=elsewhere.html")->completed);
  EXPECT_EQ(w.webView()->requests().back(), (WebViewRequest{WebViewRequest::Kind::Load, kWebWindowHomePage}));
}

TEST_F(WebWindow, ScriptsPanelsAndNewWindows) {
  open("createMediaWindow?fileName=help/index.html&x=0&y=0&width=300&height=200&parameter=&title=");
  webKitWindow& w = newest();
  assembly.runLoop.runFor(0.01);
  // The plug-in host's javascript URLs arrive with their escapes.
  EXPECT_EQ(w.evaluateJavaScript("javascript:document.title"), "Help");
  w.plugin()->m_flashWindow->executeJavaScript("javascript:alert(%22Hi%20there%22)");
  ASSERT_EQ(assembly.alerts.shown.size(), 1u);
  EXPECT_EQ(assembly.alerts.shown[0].title, "JavaScript");
  EXPECT_EQ(assembly.alerts.shown[0].text, "Hi there");
  EXPECT_EQ(assembly.alerts.shown[0].buttons, (std::vector<std::string>{"OK"}));

  assembly.alerts.answers = {1, 0};
  EXPECT_EQ(w.evaluateJavaScript("confirm('Sure?')"), "false");  // "Cancel"
  EXPECT_EQ(w.evaluateJavaScript("confirm('Sure?')"), "true");
  EXPECT_EQ(assembly.alerts.shown.back().buttons, (std::vector<std::string>{"OK", "Cancel"}));

  // New windows go to the user's browser; no window opens here.
  const size_t windows = desktop.windows().size();
  viewOf(w).clickLink(0);
  w.evaluateJavaScript("window.open('http://127.0.0.1:9/popup')");
  EXPECT_EQ(assembly.workspace.opened,
            (std::vector<std::string>{fileURL(resources() / "help/next.html"), "http://127.0.0.1:9/popup"}));
  EXPECT_EQ(desktop.windows().size(), windows);
  viewOf(w).clickLink(1);  // no target: in the page itself
  EXPECT_EQ(w.webView()->mainFrameURL(), fileURL(resources() / "help/next.html"));
}

// The close button and the close command both take the page off the list at
// once and tear it down 0.1 s later; an embedded page's area is redrawn.
TEST_F(WebWindow, ClosingUnlistsAtOnceAndTearsDownLater) {
  const uint32_t id = open("createMediaWindow?fileName=help/index.html&x=0&y=0&width=300&height=200&parameter=&title=");
  webKitWindow* own = &newest();
  const uint32_t embeddedId = open("zWindow.embedMediaWindow?fileName=help/index.html&x=5&y=6&width=70&height=80");
  webKitWindow* embedded = &newest();
  const std::shared_ptr<View> view = embedded->webView()->shared_from_this();
  Window* window = own->nativeWindow();
  const uint32_t number = window->windowNumber();
  window->performClose();
  runOn(embeddedId, "zWindow.close");
  EXPECT_FALSE(window->isClosed());
  EXPECT_FALSE(listed(*own) || listed(*embedded));
  caller().display();  // clears the redraw marks
  assembly.runLoop.runFor(0.09);
  ASSERT_EQ(webWindows->windows().size(), 2u);
  assembly.runLoop.runFor(0.02);
  EXPECT_TRUE(webWindows->windows().empty());
  EXPECT_EQ(desktop.windowWithNumber(number), nullptr);
  EXPECT_EQ(assembly.registry.pluginForIdentity(id), nullptr);
  EXPECT_EQ(view->superview(), nullptr);
  EXPECT_TRUE(caller().contentView()->needsDisplay());
  EXPECT_EQ(static_cast<WebView&>(*view).requests().back().kind, WebViewRequest::Kind::Stop);
  EXPECT_EQ(caller().contentView()->subviews().size(), 0u);
}

TEST(WebPageFetcher, LoadsAnHttpPageOnTheRealClock) {
  LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
    if (request.path() == "/moved") return LoopbackHttpServer::redirect("/page");
    return LoopbackHttpServer::text("<title>Over HTTP</title><script>document.title = 'Scripted'</script>",
                                    "text/html");
  });
  RunLoop loop(RunLoop::ClockKind::Real);
  CurlDriver curl(loop);
  NetPageFetcher fetcher(curl);
  SimWebView view(fetcher, {{0, 0}, {100, 100}});
  view.loadURL(server.url("/moved"));
  ASSERT_TRUE(loop.runUntil([&] { return !view.isLoading(); }, 10));
  ASSERT_TRUE(view.page().has_value());
  EXPECT_EQ(view.title(), "Scripted");
}

}  // namespace
}  // namespace kw::test
