// The application and system commands, driven as the first window's movie
// sends them, over a temporary HOME and PATH, the sim desktop and real child
// processes; and the pieces underneath (hardware address, JPEG scaling, the
// badge, display modes, the desktop's opener).
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "mac/commands/families/DisplayControl.h"
#include "mac/commands/families/Launching.h"
#include "mac/commands/families/LoginItems.h"
#include "mac/commands/families/ScreenCapture.h"
#include "mac/commands/families/SystemFacts.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/Window.h"
#include "tests/support/CommandFixture.h"
#include "tests/support/ScopedEnv.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text, bool executable = false) {
  fs::create_directories(path.parent_path());
  writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
  if (executable) chmod(path.c_str(), 0755);
}

// Waits for the child a command started; false when none was started.
bool waitForChild() {
  int status = 0;
  return waitpid(-1, &status, 0) > 0;
}

class SystemCommands : public CommandFixture {
 protected:
  fs::path home = dir.path() / "home";
  fs::path bin = dir.path() / "bin";
  ScopedEnv homeEnv{"HOME", home.string()};
  ScopedEnv dataEnv{"XDG_DATA_HOME", (home / ".local" / "share").string()};
  ScopedEnv pathEnv{"PATH", bin.string()};

  std::string sync(const std::string& command) { return run("KW://KW_" + command, true).reply; }
  std::string async(const std::string& command) { return run("KW://KW_" + command).reply; }
  Window* firstWindow() { return controller->flashWindow()->nativeWindow(); }
};

TEST_F(SystemCommands, PathsOfTheApplicationAndTheUsersFolders) {
  writeText(appPath / "Contents" / "Info.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleVersion</key><string>2.5</string>"
            "</dict></plist>");
  writeText(appPath / "Contents" / "MacOS" / "helper", "#!/bin/sh\n", true);
  ScopedEnv tmp{"TMPDIR", (dir.path() / "tmp").string()};
  fs::create_directories(dir.path() / "tmp");
  startApplication();
  const std::string res = resources().string();
  EXPECT_EQ(sync("zApplication.getMyPath"), "<string>" + appPath.string() + "</string>");
  EXPECT_EQ(async("zApplication.getFolder"), "&returnValue=" + dir.path().string());
  EXPECT_EQ(sync("zApplication.getWorkingDirectory"), "<string>" + res + "</string>");
  EXPECT_EQ(sync("zApplication.getVersion"), "<string>2.5</string>");
  EXPECT_EQ(sync("zApplication.getPathToBundledFile?fileName=zvdata.zve"), "<string>" + res + "/zvdata.zve</string>");
  EXPECT_EQ(sync("zApplication.getPathToBundledFile?fileName=none.zve"), "<string>undefined</string>");
  EXPECT_EQ(sync("zApplication.getPathToBundledApplication?application=helper"),
            "<string>" + (appPath / "Contents" / "MacOS" / "helper").string() + "</string>");
  EXPECT_EQ(sync("zApplication.getPathToBundledApplication?application=../Info.plist"), "<string>undefined</string>");
  EXPECT_EQ(sync("zSystem.getHomeDirectory"), "<string>" + home.string() + "</string>");

  const std::string h = home.string();
  const std::pair<int, std::string> folders[] = {
      {1, h}, {2, h + "/Desktop"}, {3, h + "/Library"}, {4, h + "/Pictures"}, {5, h + "/Documents"},
      {6, h + "/Library/Caches"}, {7, h + "/Library/Preferences"}, {8, h + "/Library/Screen Savers"},
      {9, h + "/Applications"}, {10, "/Applications"}, {11, res}, {12, res}, {13, dir.path().string()},
      {15, ""}, {18, (dir.path() / "tmp").string()}, {19, h + "/.local/share/Trash/files"}, {42, "undefined"},
      {-1, "undefined"}};
  for (const auto& [code, folder] : folders) {
    EXPECT_EQ(sync("zSystem.getSpecialFolder?folderCode=" + std::to_string(code)), "<string>" + folder + "</string>")
        << code;
  }
  EXPECT_EQ(sync("zSystem.getDesktopFolder"), "<string>" + h + "/Desktop</string>");
  EXPECT_FALSE(fs::exists(home / "Desktop"));  // reported, never created
}

// Facts that no other test reads through a command; a pattern where the
// machine decides the value.
TEST_F(SystemCommands, PlainFacts) {
  startApplication();
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  const std::string user = account->pw_name;
  const struct {
    std::string request;
    bool synchronous, pattern;
    std::string expected;
  } cases[] = {
      {"zSystem.getUserName", false, false, "&returnValue=" + user},
      {"zSystem.getUserGUID", true, true, "<string>[0-9A-F]{6,12}</string>"},  // six bytes, "%X" each
      {"zSystem.getComputerName", true, false, "<string>" + computerName() + "</string>"},
      {"zSystem.getHostAddress?hostName=localhost", false, false, "&returnValue=127.0.0.1"},
      {"zSystem.getHostAddress?hostName=undefined", true, false, "<string>undefined</string>"},
      {"checkNetConnection", false, true, "&returnValue=[01]"},
      {"getMonitorNumber", true, false, "<number>1</number>"},
      {"getPlayMode", true, false, "<number>0</number>"},
      {"trace?msg=Hello%20World", true, false, ""},
  };
  ScopedLogCapture log;
  for (const auto& c : cases) {
    const std::string reply = c.synchronous ? sync(c.request) : async(c.request);
    if (c.pattern) {
      EXPECT_TRUE(std::regex_match(reply, std::regex(c.expected))) << c.request << ": " << reply;
    } else {
      EXPECT_EQ(reply, c.expected) << c.request;
    }
  }
  EXPECT_EQ(log.lines().back(), "Zivra trace -> Hello World");
  EXPECT_TRUE(isHostReachable("127.0.0.1"));
  EXPECT_FALSE(isHostReachable(""));
}

TEST_F(SystemCommands, PrimaryInterfaceIsTheDefaultRoutesEthernetInterface) {
  const fs::path net = dir.path() / "net";
  const fs::path routes = dir.path() / "route";
  auto interface = [&](const std::string& name, const std::string& type, const std::string& address) {
    writeText(net / name / "type", type + "\n");
    writeText(net / name / "address", address + "\n");
  };
  interface("lo", "772", "00:00:00:00:00:00");
  interface("eth0", "1", "02:00:00:00:00:01");
  interface("wlan0", "1", "0a:1b:2c:3d:4e:5f");
  interface("zero", "1", "00:00:00:00:00:00");
  writeText(routes, "Iface\tDestination\tGateway\nwlan0\t00000000\t0101A8C0\neth0\t0000A8C0\t00000000\n");
  EXPECT_EQ(formatHardwareAddress(primaryHardwareAddress(net, routes)), "A1B2C3D4E5F");
  writeText(routes, "Iface\tDestination\tGateway\nlo\t00000000\t00000000\n");  // not Ethernet: first by name
  EXPECT_EQ(formatHardwareAddress(primaryHardwareAddress(net, routes)), "200001");
  EXPECT_EQ(formatHardwareAddress(primaryHardwareAddress(dir.path() / "none", routes)), "000000");
}

TEST_F(SystemCommands, MailGoesToTheSendmailOnThePath) {
  startApplication();
  const fs::path out = dir.path() / "mail.txt";
  writeText(bin / "sendmail", "#!/bin/sh\necho \"$@\" > '" + out.string() + "'\n/bin/cat >> '" + out.string() + "'\n", true);
  EXPECT_EQ(sync("zSystem.isMailAvailable"), "<true/>");
  EXPECT_EQ(sync("zSystem.sendMail?message=Line%20one&subject=Hi&address=a@b.example"), "<true/>");
  EXPECT_EQ(readFile(out),
            "-t -i\nTo: a@b.example\nSubject: Hi\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
            "Content-Transfer-Encoding: 8bit\n\nLine one\n");
  EXPECT_EQ(composeMail("x", "\xC3\xA9t\xC3\xA9", "a@b")->find("Subject: =?UTF-8?B?w6l0w6k=?=\n"), 8u);
  // Header injection and a missing address are refused before anything runs.
  EXPECT_EQ(sync("zSystem.sendMail?message=x&subject=a%0ABcc:%20c@d&address=a@b"), "<false/>");
  EXPECT_EQ(sync("zSystem.sendMail?message=x&subject=y&address=nil"), "<false/>");
  writeText(bin / "sendmail", "#!/bin/sh\nexit 1\n", true);
  EXPECT_EQ(sync("zSystem.sendMail?message=x&subject=y&address=a@b"), "<false/>");
}

TEST_F(SystemCommands, ExecuteApplicationStartsAChildWithCommaSplitArguments) {
  startApplication();
  const fs::path out = dir.path() / "args.txt";
  const fs::path program = dir.path() / "prog";
  writeText(program, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > '" + out.string() + "'\n", true);
  EXPECT_EQ(sync("zSystem.executeApplication?application=" + program.string() + "&parameters=a,,b%20c&show=true"), "<true/>");
  ASSERT_TRUE(waitForChild());
  EXPECT_EQ(readFile(out), "[a]\n[]\n[b c]\n");

  const fs::path document = dir.path() / "notes.txt";
  writeText(document, "text");
  EXPECT_EQ(sync("zSystem.executeApplication?application=" + document.string() + "&parameters=x&show=true"), "<true/>");
  EXPECT_FALSE(waitForChild());  // exists, so true, but nothing was started
  EXPECT_EQ(sync("zSystem.executeApplication?application=" + document.string() + "&parameters=&show=true"), "<true/>");
  EXPECT_EQ(assembly.workspace.openedFiles, std::vector<std::string>{document.string()});
  EXPECT_EQ(sync("zSystem.executeApplication?application=/no/such/file&parameters=x&show=true"), "<false/>");
}

TEST_F(SystemCommands, DocumentsScriptsAndRunningApplications) {
  startApplication();
  const fs::path document = dir.path() / "doc.txt", script = dir.path() / "s.scpt";
  writeText(document, "x");
  writeText(script, "return 1");
  const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
  const std::pair<std::string, std::string> cases[] = {
      // Mail and web addresses go to the browser and answer false.
      {"zSystem.openDocument?document=http://example.com/a%20b", "<false/>"},
      {"zSystem.openDocument?document=" + document.string(), "<true/>"},
      {"zSystem.openDocument?document=/no/such/doc", "<false/>"},
      // No script engine: no value; an existing script file goes on with an empty result list.
      {"zSystem.runAppleScript?script=return%201", ""},
      {"zSystem.runAppleScriptFile?fileName=/no/such.scpt", ""},
      {"zSystem.runAppleScriptFile?fileName=" + script.string(),
       "<object><property id=\"KW_array\"><array><property id =\"length\"><number>0</number></property>"
       "</array></property></object>"},
      {"zSystem.isApplicationRunning?application=" + self, "<true/>"},
      {"zSystem.isApplicationRunning?application=no-such-application-here", "<false/>"},
  };
  for (const auto& [request, expected] : cases) EXPECT_EQ(sync(request), expected) << request;
  EXPECT_EQ(assembly.workspace.opened, std::vector<std::string>{"http://example.com/a%20b"});
  EXPECT_EQ(assembly.workspace.openedFiles, (std::vector<std::string>{document.string(), "/no/such/doc"}));
}

TEST_F(SystemCommands, LoginItemsAndScreenSaverArePreferenceFiles) {
  startApplication();
  EXPECT_EQ(sync("zSystem.getStartAtLogin"), "<false/>");
  sync("zSystem.setStartAtLogin?start=true");
  sync("zSystem.setStartAtLogin?start=true");
  auto items = [&] {
    const auto domain = readPropertyList(home / "Library/Preferences/loginwindow.plist");
    const PlistValue* list = domain ? domain->find("AutoLaunchedApplicationDictionary") : nullptr;
    return list != nullptr && list->asArray() != nullptr ? *list->asArray() : PlistValue::Array{};
  };
  ASSERT_EQ(items().size(), 2u);
  EXPECT_EQ(items()[0], PlistValue::dictionary({{"Path", PlistValue::string(appPath.string())},
                                                {"Hide", PlistValue::boolean(false)}}));
  EXPECT_EQ(sync("zSystem.getStartAtLogin"), "<true/>");
  sync("zSystem.setStartAtLogin?start=false");
  EXPECT_EQ(items().size(), 1u);
  EXPECT_EQ(sync("zSystem.getStartAtLogin"), "<true/>");
  sync("zSystem.setStartAtLogin?start=false");
  EXPECT_EQ(sync("zSystem.getStartAtLogin"), "<false/>");
  // Another application's item with the same folder is not ours.
  setStartAtLogin("/Applications/Other.app", true);
  EXPECT_EQ(sync("zSystem.getStartAtLogin"), "<false/>");

  sync("zSystem.setActiveScreenSaver?name=Flurry.saver");
  const auto saver = readPropertyList(screenSaverFile());
  ASSERT_TRUE(saver);
  EXPECT_EQ(*saver->find("moduleName"), PlistValue::string("Flurry"));
  EXPECT_EQ(*saver->find("modulePath"), PlistValue::string(home.string() + "/Library/Screen Savers"));
}

TEST_F(SystemCommands, ScreensMonitorsWindowsAndCapture) {
  startApplication();
  desktop.setScreens({ScreenFrame{{0, 0}, 1024, 768}, ScreenFrame{{1024, -256.5}, 1280, 1024}});
  EXPECT_EQ(async("zSystem.listMonitors"), "&returnValue=0:0:1024:768,1024:-256:2304:768");

  Window* window = firstWindow();
  const std::string number = std::to_string(window->windowNumber());
  EXPECT_EQ(sync("zSystem.getWindows"), "<object><property id=\"KW_array\"><array><property id=\"0\"><number>" +
                                            number + "</number></property><property id =\"length\"><number>1"
                                            "</number></property></array></property></object>");
  window->setFrame({{10, 100}, {300, 200}});
  EXPECT_EQ(sync("zSystem.getWindowRect?windowNum=" + number),
            "<object><property id=\"bottom\"><number>668</number></property><property id=\"top\"><number>468"
            "</number></property><property id=\"right\"><number>310</number></property><property id=\"left\">"
            "<number>10</number></property></object>");
  window->setLevel(3);  // only normal-level windows are listed
  EXPECT_EQ(async("zSystem.getWindows"), "&returnValue=");

  // A JPEG of the screen; a bare name goes into the resources.
  EXPECT_EQ(sync("zSystem.captureScreenToJPG?fileName=shot.jpg"), "<true/>");
  const auto shot = Bitmap::readImageFile(resources() / "shot.jpg");
  ASSERT_TRUE(shot);
  EXPECT_EQ(std::make_pair(shot->width(), shot->height()), std::make_pair(1024, 768));
  EXPECT_EQ(sync("zSystem.captureScreenToJPG?fileName=" + (dir.path() / "no/folder/x.jpg").string()), "<false/>");
}

TEST_F(SystemCommands, ResolutionCommandsSwitchAndRestoreTheDisplayAndTheLevel) {
  startApplication();
  Window* window = firstWindow();
  window->setLevel(3);
  sync("zSystem.setScreenResolutionTo800x600");
  EXPECT_EQ(desktop.currentDisplayMode(), (Desktop::DisplayMode{800, 600, 32, 60}));
  EXPECT_EQ(window->level(), shieldingWindowLevel());
  EXPECT_TRUE(desktop.displayCaptured);
  sync("zSystem.setScreenResolutionTo640x480");
  EXPECT_EQ(desktop.mainScreenFrame().size, (DesktopSize{640, 480}));
  desktop.cursorHidden = true;
  sync("zSystem.resetScreenResolution");
  EXPECT_EQ(desktop.currentDisplayMode(), (Desktop::DisplayMode{1440, 900, 32, 60}));
  EXPECT_EQ(window->level(), shieldingWindowLevel());  // the second switch saved the raised level
  EXPECT_FALSE(desktop.displayCaptured);
  EXPECT_FALSE(desktop.cursorHidden);

  // No 800 x 600 at the current depth: the display stays, the window still rises.
  window->setLevel(0);
  desktop.displayModes = {{1440, 900, 32, 60}, {800, 600, 16, 60}};
  sync("zSystem.setScreenResolutionTo800x600");
  EXPECT_EQ(desktop.mainScreenFrame().size, (DesktopSize{1440, 900}));
  EXPECT_EQ(window->level(), shieldingWindowLevel());
  sync("zSystem.resetScreenResolution");
  EXPECT_EQ(window->level(), 0);
}

TEST_F(SystemCommands, ScaleAndSaveKeepsProportionsAndClampsTheQuality) {
  // (width, height) into 100 x 100, and the size saved.
  const int32_t cases[][4] = {{400, 100, 100, 25}, {300, 299, 100, 99}, {50, 40, 50, 40}};
  for (const auto& c : cases) {
    Bitmap bitmap(c[0], c[1]);
    const fs::path path = dir.path() / "scaled.jpg";
    ASSERT_TRUE(scaleAndSaveAsJPEG(&bitmap, 100, 100, 0.5, path));
    const auto read = Bitmap::readImageFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::make_pair(read->width(), read->height()), std::make_pair(c[2], c[3])) << c[0] << "x" << c[1];
  }
  Bitmap noisy(64, 64);
  for (int32_t i = 0; i < 64; ++i) noisy.fill(i, (i * 7) % 64, 1, 5, RGBAColor::white());
  auto bytes = [&](double quality) {
    const fs::path path = dir.path() / "q.jpg";
    EXPECT_TRUE(scaleAndSaveAsJPEG(&noisy, 64, 64, quality, path));
    return readFile(path);
  };
  EXPECT_EQ(bytes(0), bytes(0.85));
  EXPECT_EQ(bytes(7), bytes(1.0));
  EXPECT_NE(bytes(0.1), bytes(1.0));

  ScopedLogCapture log;
  EXPECT_FALSE(scaleAndSaveAsJPEG(nullptr, 10, 10, 1, dir.path() / "n.jpg"));
  Bitmap thin(1000, 1);
  EXPECT_FALSE(scaleAndSaveAsJPEG(&thin, 10, 10, 1, dir.path() / "t.jpg"));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Could not load", "Could not scale image"}));
}

TEST_F(SystemCommands, DockBadgeDrawsAColouredCircleAndAnEmptyBadgeRestoresTheIcon) {
  auto icon = std::make_shared<Image>();
  icon->size = {128, 128};
  auto pixels = std::make_shared<Bitmap>(128, 128);
  pixels->fill(0, 0, 128, 128, RGBAColor{0, 0, 1, 1});
  icon->representations.push_back(pixels);
  desktop.applicationIcon = icon;
  startApplication();

  sync("zApplication.setDockIconBadge?badge=3&color=FF0000");
  const TextSize text = badgeTextSize("3");
  EXPECT_TRUE(text.height > 15 && text.height < 40) << text.height;
  const int32_t d = 12 + std::max(text.width, text.height);
  const Bitmap* badged = desktop.applicationIcon->bestRepresentation();
  ASSERT_NE(badged, nullptr);
  auto rgb = [&](int32_t x, int32_t y) {
    const uint8_t* p = badged->pixel(x, y);
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(rgb(d / 2, 2), (std::vector<int>{255, 0, 0}));  // inside the circle, above the text
  EXPECT_EQ(rgb(d + 2, d / 2), (std::vector<int>{0, 0, 255}));
  int white = 0;  // the text
  for (int32_t i = 0; i < d * d; ++i) white += rgb(i % d, i / d) == std::vector<int>{255, 255, 255};
  EXPECT_GT(white, 10);

  sync("zApplication.setDockIconBadge?badge=&color=nil");
  EXPECT_EQ(desktop.applicationIcon, icon);

  const BadgeOval wide = badgeOval({90, 30});
  EXPECT_EQ((std::vector<double>{wide.width, wide.height, wide.y}), (std::vector<double>{102, 72, 56}));
  EXPECT_EQ(colorFromHexRGB("FF0000"), (RGBAColor{1, 0, 0, 1}));
  EXPECT_EQ(colorFromHexRGB(" 0x00ff00"), (RGBAColor{0, 1, 0, 1}));
  EXPECT_EQ(colorFromHexRGB("#FF0000"), RGBAColor::black());
}

TEST_F(SystemCommands, DialogDockPointerFinderAndDesktopPicture) {
  startApplication();
  Window* window = firstWindow();
  window->setLevel(25);
  assembly.alerts.answers = {1, 2, 1};  // the first answer's reply and the texts: FamiliesEndToEndTest
  const std::string dialog = "zApplication.messageDialog?title=T&message=M&defaultButton=Yes&alternateButton=No";
  EXPECT_EQ(sync(dialog + "&otherButton=Maybe"), "<number>0</number>");
  EXPECT_EQ(sync(dialog + "&otherButton=Maybe"), "<number>-1</number>");
  EXPECT_EQ(sync("zApplication.messageDialog?title=T&message=M&defaultButton=nil&alternateButton=&otherButton=Later"),
            "<number>-1</number>");
  ASSERT_EQ(assembly.alerts.shown.size(), 3u);
  EXPECT_EQ(assembly.alerts.shown[2].buttons, (std::vector<std::string>{"OK", "Later"}));
  EXPECT_EQ(window->level(), 25);

  sync("zApplication.showMouse?show=false");
  EXPECT_TRUE(desktop.cursorHidden);

  desktop.activateIgnoringOtherApps();
  sync("zApplication.bounceDockIcon?repeats=true");
  desktop.deactivate();
  sync("zApplication.bounceDockIcon?repeats=true");
  sync("zApplication.bounceDockIcon?repeats=false");
  EXPECT_EQ(desktop.attentionRequests, (std::vector<bool>{true, false}));

  sync("zApplication.revealInFinder");
  EXPECT_EQ(assembly.workspace.selectedFiles, std::vector<std::string>{appPath.string()});
  sync("zSystem.openScreenSaverControlPanel");
  EXPECT_EQ(assembly.workspace.openedFiles,
            std::vector<std::string>{"/System/Library/PreferencePanes/ScreenSaver.prefPane"});

  EXPECT_EQ(sync("zSystem.isScreenSaverRunning"), "<false/>");
  desktop.frontmostProcess = "ScreenSaverEngine";
  EXPECT_EQ(sync("zSystem.isScreenSaverRunning"), "<true/>");

  sync("zSystem.setActiveWallpaper?fileName=/no/such.jpg");
  EXPECT_EQ(desktop.desktopPicture, "");
  const fs::path picture = dir.path() / "p.jpg";
  writeText(picture, "x");
  sync("zSystem.setActiveWallpaper?fileName=" + picture.string());
  EXPECT_EQ(desktop.desktopPicture, picture.string());
}

TEST_F(SystemCommands, QuitTerminatesATenthOfASecondLater) {
  startApplication();
  sync("zApplication.quit");
  assembly.runLoop.runFor(0.05);
  EXPECT_FALSE(desktop.terminated());
  assembly.runLoop.runFor(0.06);
  EXPECT_TRUE(desktop.terminated());
}

TEST_F(SystemCommands, DeleteSelfMovesTheBundleToTheTrash) {
  startApplication();
  sync("zApplication.deleteSelf");
  EXPECT_FALSE(fs::exists(appPath));
  EXPECT_TRUE(fs::exists(home / ".local/share/Trash/files/X.app/Contents/Resources/zvdata.zve"));
  EXPECT_TRUE(desktop.terminated());
}

TEST_F(SystemCommands, OpenerWorkspaceRunsTheDesktopsOpener) {
  const fs::path out = dir.path() / "opened.txt";
  writeText(bin / "xdg-open", "#!/bin/sh\necho \"$@\" >> '" + out.string() + "'\n", true);
  OpenerWorkspace workspace;
  EXPECT_TRUE(workspace.openURL("http://example.com/"));
  EXPECT_FALSE(workspace.openFile((dir.path() / "missing").string()));
  EXPECT_TRUE(workspace.selectFile(out.string()));
  EXPECT_EQ(readFile(out), "http://example.com/\n" + dir.path().string() + "\n");
  writeText(bin / "xdg-open", "#!/bin/sh\nexit 3\n", true);
  EXPECT_FALSE(workspace.openURL("http://example.com/"));
  EXPECT_FALSE(OpenerWorkspace("no-such-opener").openURL("http://example.com/"));
}

}  // namespace
}  // namespace kw::test
