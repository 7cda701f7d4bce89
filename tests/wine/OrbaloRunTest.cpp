// orbalo under Wine, packed by orbalo-pack with the stand-in player, which logs
// what is done to it. Whole runs: unpacking, the player taken over and its
// filters, the intro, the display switch and its fall-back, the pictures on
// screen, the outro and the clean-up. Failing start-up stages: the exact
// messages in order, the per-run folder removed in every case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tools/wine/WineSession.h"
#include "win/runtime/PrivateMessages.h"

namespace kw::winetest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace kw::orbalo;  // the private messages

struct Colour {
  int red, green, blue;
};
constexpr Colour kFill{0, 0, 255}, kOrange{255, 165, 0}, kRed{255, 0, 0}, kGreen{0, 128, 0};
struct Spot {
  int x, y;
  Colour colour;
};

// Each test has its own X server and copy of the Wine prefix.
class OrbaloTest : public ::testing::Test {
 protected:
  explicit OrbaloTest(bool virtualDesktop = true, const std::string& screen = "1024x768")
      : session_({KW_WINE, KW_WINESERVER, KW_WINE_PREFIX, KW_WINDOWS_BIN, KW_WINE_ARTIFACTS},
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) + "." +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                 virtualDesktop, screen) {
    fs::create_directories(session_.DriveC() / "show");
    fs::create_directories(session_.artifacts() / "input");
  }

  std::string Input(const std::string& name) const { return (session_.artifacts() / "input" / name).string(); }
  // A JPEG of `size` ("WxH") in `colour`, with ImageMagick `draw` options on it.
  std::string Picture(const std::string& name, const std::string& size, const std::string& colour,
                      const std::string& draw = "") {
    const std::string command = "convert -size " + size + " xc:" + colour + " " + draw + " '" + Input(name) + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Input(name);
  }
  std::string File(const std::string& name, const std::string& text) {
    std::ofstream(Input(name), std::ios::binary) << text;
    return Input(name);
  }

  // Packs C:\show\run.exe: orbalo.exe as host, the stand-in player and the
  // runtime library unless left out, and `options`.
  bool Pack(std::vector<std::string> options, bool withRuntime = true, bool withPlayer = true) {
    const auto& bin = session_.setup().windowsBin;
    if (withRuntime) options.insert(options.end(), {"--runtime", (bin / "ORBALORT.DLL").string()});
    if (withPlayer) options.insert(options.end(), {"--player", (bin / "standin-player.exe").string()});
    options.insert(options.end(), {"--host", (bin / "orbalo.exe").string(), "-o", RunExe().string()});
    std::string command = KW_ORBALO_PACK;
    for (const auto& option : options) command += " '" + option + "'";
    return std::system((command + " > '" + Input("orbalo-pack.out") + "' 2>&1").c_str()) == 0;
  }
  fs::path RunExe() const { return session_.DriveC() / "show" / "run.exe"; }

  // Starts C:\show\run.exe with the dialog watcher running.
  void Start() {
    session_.SetEnv("STANDIN_LOG", "C:\\kwtest\\standin.log");
    session_.SetEnv("STANDIN_QUIT_FILE", "C:\\kwtest\\quit-player");
    session_.StartDialogWatcher();
    pid_ = session_.Start({"C:\\show\\run.exe"}, "orbalo");
  }
  void QuitPlayer() { std::ofstream(session_.DriveC() / "kwtest" / "quit-player") << "quit\n"; }
  std::optional<int> WaitForEnd() { return session_.WaitForExit(pid_, 60s); }

  // The player's log lines, all or those of one event.
  std::vector<LogLine> PlayerEvents(const std::string& event = "") const {
    std::vector<LogLine> lines = ParseLog(WineSession::ReadFile(session_.DriveC() / "kwtest" / "standin.log"));
    if (!event.empty()) std::erase_if(lines, [&](const LogLine& line) { return line.event != event; });
    return lines;
  }
  // Waits for the first log line of `event` for which `match` holds.
  std::optional<LogLine> WaitForPlayer(const std::string& event, Millis timeout = 60s,
                                       const std::function<bool(const LogLine&)>& match = nullptr) const {
    std::optional<LogLine> found;
    WineSession::WaitUntil(
        [&] {
          for (const auto& line : PlayerEvents(event)) {
            if (!match || match(line)) return (found = line).has_value();
          }
          return false;
        },
        timeout);
    return found;
  }
  // The player window at its own client size (550 x 400, the stand-in's),
  // frameless, top-most and shown: placed by the display switch and resumed.
  std::optional<LogLine> WaitUntilPlaying() const {
    return WaitForPlayer("state", 60s, [](const LogLine& line) {
      return line.Number("visible") == 1 && line.Number("menu") == 0 && line.Number("topmost") == 1 &&
             line.Number("w") == 550 && line.Number("h") == 400;
    });
  }
  // How often the private message `id` reached the player window.
  long Messages(std::uint32_t id) const {
    return std::ranges::count_if(PlayerEvents("msg"), [&](const LogLine& line) { return line.Number("id") == id; });
  }

  // "title|text" of the message boxes answered, once `count` were.
  std::vector<std::string> Dialogs(size_t count = 0) const {
    WineSession::WaitUntil([&] { return session_.Dialogs().size() >= count; }, 60s);
    std::vector<std::string> texts;
    for (const auto& dialog : session_.Dialogs()) texts.push_back(dialog["title"] + "|" + dialog["text"]);
    return texts;
  }

  // Waits for `dialogs` message boxes and orbalo's end: it ends with 0 and
  // leaves no per-run folder ("XXXXXTMP") behind. The message boxes shown.
  std::vector<std::string> Finish(size_t dialogs) {
    Dialogs(dialogs);
    EXPECT_EQ(WaitForEnd(), 0) << "orbalo did not end, or not with 0";
    for (const auto& entry : fs::directory_iterator(session_.TempFolder())) {
      EXPECT_FALSE(std::regex_match(entry.path().filename().string(), std::regex("[A-Z0-9]{5}TMP"))) << "left behind";
    }
    return Dialogs();
  }

  std::optional<std::pair<int, int>> ScreenSize() {
    auto out = session_.Helper({"screen"});
    std::smatch match;
    if (!out || !std::regex_search(*out, match, std::regex("screen (\\d+) (\\d+)"))) return std::nullopt;
    return std::make_pair(std::stoi(match[1]), std::stoi(match[2]));
  }

  // Takes screenshots until every spot shows its colour (give or take 48: the
  // pictures are JPEGs) or 10 s passed; the spots that did not, last time.
  std::string WaitForColours(const std::string& name, const std::vector<Spot>& spots) {
    std::string missing;
    WineSession::WaitUntil(
        [&] {
          session_.Screenshot(name);
          const std::string png = (session_.artifacts() / (name + ".png")).string();
          FILE* ppm = popen(("convert '" + png + "' -depth 8 ppm:-").c_str(), "r");
          int width = 0, height = 0, maximum = 0;
          std::vector<unsigned char> pixels;
          if (ppm != nullptr && std::fscanf(ppm, "P6 %d %d %d", &width, &height, &maximum) == 3 && maximum == 255 &&
              std::fgetc(ppm) != EOF) {
            pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
            pixels.resize(std::fread(pixels.data(), 1, pixels.size(), ppm));
          }
          if (ppm != nullptr) pclose(ppm);
          std::ostringstream out;
          for (const auto& [x, y, colour] : spots) {
            const size_t at = static_cast<size_t>(y * width + x) * 3;
            const auto seen = [&](size_t i) { return x < width && at + 3 <= pixels.size() ? pixels[at + i] : -999; };
            if (std::abs(seen(0) - colour.red) > 48 || std::abs(seen(1) - colour.green) > 48 ||
                std::abs(seen(2) - colour.blue) > 48) {
              out << "(" << x << "," << y << ") is " << seen(0) << "," << seen(1) << "," << seen(2) << "\n";
            }
          }
          return (missing = out.str()).empty();
        },
        10s);
    return missing;
  }

  WineSession session_;
  pid_t pid_ = -1;
};

TEST_F(OrbaloTest, UnpacksFiltersPlaysAfterTheIntroShowsThePicturesAndCleansUp) {
  const std::string binary("\x00\x01\x02\xff", 4);
  ASSERT_TRUE(Pack({"--intro",      Picture("intro.jpg", "640x480", "navy"),
                    "--background", Picture("back.jpg", "600x440", "orange"),
                    "--outro",      Picture("outro.jpg", "800x600", "green", "-fill red -draw 'rectangle 0,0 639,479'"),
                    "--extra",      File("movie.txt", "first extra\n"),
                    "--extra",      File("data.bin", binary),
                    "--set",        "resolution=640x480",
                    "--set",        "alignment=0",
                    "--set",        "colour=#0000FF",
                    "--set",        "intro-time=3",
                    "--set",        "outro-time=2"}));
  Start();

  // Started from the per-run folder, beside the extra files and basepath.txt
  // naming the show's folder; the runtime library in the temporary folder.
  auto start = WaitForPlayer("start");
  ASSERT_TRUE(start) << "the player never started";
  const std::string exe = (*start)["exe"];
  EXPECT_TRUE(std::regex_match(
      exe, std::regex(R"(C:\\users\\[^\\]+\\Temp\\[A-Z0-9]{5}TMP\\standin-player\.exe)", std::regex::icase)))
      << exe;
  const std::string folder = exe.substr(0, exe.find_last_of('\\'));
  EXPECT_EQ((*start)["cwd"], folder);
  auto basepath = WaitForPlayer("basepath", 1s);
  ASSERT_TRUE(basepath);
  EXPECT_EQ((*basepath)["text"], "basepath=C:\\show\\");
  const fs::path runFolder = session_.HostPath(folder);
  EXPECT_TRUE(fs::is_directory(runFolder / "fscommand"));
  EXPECT_EQ(WineSession::ReadFile(runFolder / "movie.txt"), "first extra\n");
  EXPECT_EQ(WineSession::ReadFile(runFolder / "data.bin"), binary);
  EXPECT_TRUE(fs::exists(session_.TempFolder() / "ORBALORT.DLL"));

  // Intro: the display has the configured mode while the player is suspended.
  EXPECT_TRUE(WineSession::WaitUntil([&] { return ScreenSize() == std::make_pair(640, 480); }, 30s));
  auto playing = WaitUntilPlaying();
  ASSERT_TRUE(playing) << "the player was never shown after the intro";
  auto gaps = PlayerEvents("gap");
  ASSERT_FALSE(gaps.empty()) << "the player's thread was never suspended";
  EXPECT_GE(gaps.back().Number("ms"), 2500) << "suspended for less than the 3 s intro";
  EXPECT_LE(gaps.back().ms, playing->ms) << "shown before the intro";

  // Stripped, hooked, placed by alignment 0 on 640x480: (45, 40).
  EXPECT_EQ((*playing)["title"], "");
  EXPECT_EQ(playing->Number("style") & 0x80C40000L, 0x80000000L) << "pop-up, no caption, no thick frame";
  EXPECT_EQ(playing->Number("exstyle") & 0x8L, 0x8L) << "top-most";
  EXPECT_EQ(playing->Number("classcursor"), 0) << "the message filter did not clear the class cursor";
  EXPECT_EQ(playing->Number("x"), 45);
  EXPECT_EQ(playing->Number("y"), 40);
  EXPECT_GT(Messages(PM_STRIP_FRAME), 0);
  EXPECT_GT(Messages(PM_BLOCK_RIGHT_CLICK), 0);
  EXPECT_EQ(Messages(PM_ESCAPE_QUITS), 0);
  auto window = WaitForPlayer("window", 1s);
  auto hideCursor = WaitForPlayer("msg", 1s, [](const LogLine& line) { return line.Number("id") == PM_HIDE_CURSOR; });
  ASSERT_TRUE(window && hideCursor);
  EXPECT_EQ(hideCursor->Number("lparam"), window->Number("hwnd"));

  // The filters: right clicks swallowed, task-switching keys ignored. Alt+Tab
  // is not tried: Wine hands the keyboard filter no Alt bit (0x20).
  ASSERT_TRUE(session_.Helper({"rclick", "KwStandinPlayer"}));
  ASSERT_TRUE(session_.Helper({"keys", "ctrl+esc", "lwin", "rwin", "apps", "esc", "a"}));
  auto keyDowns = [&](long vk) {
    return std::ranges::count_if(PlayerEvents("key"), [&](const LogLine& line) {
      return line.Number("vk") == vk && (line["what"] == "down" || line["what"] == "sysdown");
    });
  };
  // "a" comes last: once it arrived, every earlier key had its chance.
  EXPECT_TRUE(WineSession::WaitUntil([&] { return keyDowns(0x41) > 0; }, 20s)) << "plain keys must reach the player";
  EXPECT_TRUE(WineSession::WaitUntil([&] { return Messages(PM_SWALLOWED) >= 2; }, 10s))
      << "right button down and up should arrive as the swallowed message";
  EXPECT_TRUE(PlayerEvents("rbutton").empty());
  EXPECT_EQ(keyDowns(0x5B) + keyDowns(0x5C) + keyDowns(0x5D), 0) << "Windows and application keys";
  EXPECT_EQ(keyDowns(0x1B), 1) << "Escape alone passes, with Control held it is swallowed";
  EXPECT_TRUE(PlayerEvents("quit").empty()) << "Escape ended the player without being asked to";

  // The 600 x 440 background centred at (20, 20) on the fill colour, around
  // the player at (45, 40)-(595, 440).
  EXPECT_EQ(WaitForColours("centred", {{30, 30, kOrange}, {610, 450, kOrange}, {10, 30, kFill}, {30, 10, kFill},
                                       {630, 450, kFill}, {610, 470, kFill}}),
            "");
  // The player ends: the 800 x 600 outro shows at (0, 0), only its red
  // top-left 640 x 480 on the screen; centred or shrunk, green would show.
  QuitPlayer();
  EXPECT_EQ(WaitForColours("cut", {{10, 10, kRed}, {630, 10, kRed}, {10, 470, kRed}, {630, 470, kRed},
                                   {320, 240, kRed}}),
            "");
  ASSERT_TRUE(WaitForPlayer("exit", 30s));
  EXPECT_EQ(Finish(0), std::vector<std::string>{}) << "no message box";
  EXPECT_FALSE(fs::exists(runFolder));
  EXPECT_TRUE(fs::exists(session_.TempFolder() / "ORBALORT.DLL")) << "the library stays in the temporary folder";
  EXPECT_EQ(ScreenSize(), std::make_pair(1024, 768)) << "display mode not restored";
}

class SmallDesktopTest : public OrbaloTest {
 protected:
  SmallDesktopTest() : OrbaloTest(true, "800x600") {}  // offers no 1024x768 mode
};

TEST_F(SmallDesktopTest, FallsBackTo640x480MovesPlayerAndStretchedPicturesAndEndsOnEscape) {
  ASSERT_TRUE(Pack({"--background", Picture("back.jpg", "64x48", "orange"), "--outro",
                    Picture("outro.jpg", "320x240", "green", "-fill red -draw 'rectangle 0,0 159,239'"), "--set",
                    "resolution=1024x768", "--set", "alignment=0", "--set", "stretch=1", "--set", "colour=#0000FF",
                    "--set", "outro-time=2", "--set", "block-right-click=0", "--set", "escape-quits=1"}));
  Start();
  EXPECT_EQ(Dialogs(1), std::vector<std::string>{"Info|Your gfx driver does not support the desired resolution of "
                                                 "1024x768. Using 640x480."});
  EXPECT_NE(session_.Dialogs()[0]["owner"], "0x0") << "the Info box belongs to the background window";

  // Aligned on 1024x768 at (237, 184), then moved by (-192, -144).
  auto playing = WaitUntilPlaying();
  ASSERT_TRUE(playing);
  EXPECT_EQ(playing->Number("x"), 45);
  EXPECT_EQ(playing->Number("y"), 40);
  EXPECT_EQ(ScreenSize(), std::make_pair(640, 480));
  // Stretched to 1024 x 768 and moved alike, the tiny background fills the screen.
  EXPECT_EQ(WaitForColours("stretched-background", {{5, 5, kOrange}, {634, 5, kOrange}, {5, 474, kOrange},
                                                    {634, 474, kOrange}, {320, 20, kOrange}, {20, 240, kOrange}}),
            "");

  // Right clicks are not blocked; Escape ends the player, by the quit message.
  ASSERT_TRUE(WineSession::WaitUntil([&] { return Messages(PM_ESCAPE_QUITS) > 0; }, 20s));
  EXPECT_EQ(Messages(PM_BLOCK_RIGHT_CLICK), 0);
  ASSERT_TRUE(session_.Helper({"rclick", "KwStandinPlayer"}));
  EXPECT_TRUE(WineSession::WaitUntil([&] { return PlayerEvents("rbutton").size() >= 2; }, 20s));
  EXPECT_EQ(Messages(PM_SWALLOWED), 0);
  ASSERT_TRUE(session_.Helper({"keys", "esc"}));
  ASSERT_TRUE(WaitForPlayer("quit", 20s)) << "Escape did not end the player";
  EXPECT_TRUE(PlayerEvents("close").empty()) << "ended by the quit message, not by closing";

  // The 320 x 240 outro, left half red, stretched and moved: its middle lies
  // at x 512 - 192 = 320 (unmoved, x 350 would still be red).
  EXPECT_EQ(WaitForColours("stretched-outro", {{5, 5, kRed}, {5, 474, kRed}, {290, 240, kRed}, {350, 240, kGreen},
                                               {634, 5, kGreen}, {634, 474, kGreen}}),
            "");
  EXPECT_EQ(Finish(1).size(), 1u);
}

TEST_F(OrbaloTest, MissingRuntimeLibraryReportsTheLoadErrorThenConfiguration) {
  ASSERT_TRUE(Pack({}, /*withRuntime=*/false));
  // 126: the module was not found.
  Start();
  EXPECT_EQ(Finish(2), (std::vector<std::string>{"Orbalo|Unable to load ORBALORT.DLL 126\n",
                                                 "Orbalo|Unable to load configuration.\n"}));
  EXPECT_TRUE(PlayerEvents().empty()) << "the player must not start";
}

TEST_F(OrbaloTest, PlayerThatIsNoProgramCannotStart) {
  ASSERT_TRUE(Pack({"--player", File("player.exe", "this is no program\n")}, true, /*withPlayer=*/false));
  // 193: not a valid application.
  Start();
  EXPECT_EQ(Finish(2), (std::vector<std::string>{"Orbalo|unable to start swf: 193\n", "Orbalo|Unable to load swf.\n"}));
}

}  // namespace
}  // namespace kw::winetest
