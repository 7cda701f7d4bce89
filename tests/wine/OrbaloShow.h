// Test support for the Wine tests: the harness settings of this build, and a
// packaged show (orbalo + stand-in player) run in a Wine session.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tools/wine/WineSession.h"

namespace kw::winetest {

using namespace std::chrono_literals;

inline WineSetup BuildSetup() {
  return {KW_WINE, KW_WINESERVER, KW_WINE_PREFIX, KW_WINDOWS_BIN, KW_WINE_ARTIFACTS};
}

// gtest's name of the running test, usable as a folder name.
inline std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

// Style bits the projector's changes are checked against.
inline constexpr long kPopup = 0x80000000L;
inline constexpr long kCaption = 0x00C00000L;
inline constexpr long kThickFrame = 0x00040000L;
inline constexpr long kTopmost = 0x00000008L;

// Private messages between orbalo and the runtime library's filter.
inline constexpr long kSwallowed = 0x0D0A;
inline constexpr long kStripFrame = 0x0D0B;
inline constexpr long kBlockRightClick = 0x0D0C;
inline constexpr long kHideCursor = 0x0D0D;
inline constexpr long kEscapeQuits = 0x0D0F;

class OrbaloShow {
 public:
  explicit OrbaloShow(WineSession& session) : session_(session) {
    std::filesystem::create_directories(session_.DriveC() / "show");
    std::filesystem::create_directories(session_.artifacts() / "input");
  }

  // A JPEG of `width` x `height` in one colour, for the picture entries.
  std::string Picture(const std::string& name, int width, int height, const std::string& colour) {
    std::string path = (session_.artifacts() / "input" / name).string();
    std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                          " xc:" + colour + " '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  // A JPEG of `width` x `height` in `colour` whose top-left `cornerWidth` x
  // `cornerHeight` pixels are `cornerColour` instead: shows where a picture
  // was cut or how it was stretched.
  std::string TwoColourPicture(const std::string& name, int width, int height, const std::string& colour,
                               int cornerWidth, int cornerHeight, const std::string& cornerColour) {
    std::string path = (session_.artifacts() / "input" / name).string();
    std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) + " xc:" +
                          colour + " -fill " + cornerColour + " -draw 'rectangle 0,0 " +
                          std::to_string(cornerWidth - 1) + "," + std::to_string(cornerHeight - 1) + "' '" +
                          path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  // A small input file with `text`.
  std::string File(const std::string& name, const std::string& text) {
    std::string path = (session_.artifacts() / "input" / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Packs C:\show\run.exe with orbalo-pack: orbalo.exe as host, the stand-in
  // player and the runtime library unless left out, and `options`.
  bool Pack(std::vector<std::string> options, bool withRuntime = true, bool withPlayer = true) {
    const auto& bin = session_.setup().windowsBin;
    std::vector<std::string> args{KW_ORBALO_PACK, "--host", (bin / "orbalo.exe").string(), "-o",
                                  (session_.DriveC() / "show" / "run.exe").string()};
    if (withRuntime) args.insert(args.end(), {"--runtime", (bin / "ORBALORT.DLL").string()});
    if (withPlayer) args.insert(args.end(), {"--player", (bin / "standin-player.exe").string()});
    args.insert(args.end(), options.begin(), options.end());
    std::string command;
    for (const auto& arg : args) command += "'" + arg + "' ";
    command += "> '" + (session_.artifacts() / "orbalo-pack.out").string() + "' 2>&1";
    return std::system(command.c_str()) == 0;
  }

  // Rewrites field `index` of the configuration entry of C:\show\run.exe in
  // place (for packages that orbalo-pack refuses to write, such as one that
  // counts more extra files than it holds). Walks the chain from the trailer.
  bool PatchConfig(size_t index, uint32_t value) {
    std::fstream file(session_.DriveC() / "show" / "run.exe", std::ios::in | std::ios::out | std::ios::binary);
    auto read32 = [&](std::streamoff at) {
      unsigned char bytes[4] = {};
      file.seekg(at);
      file.read(reinterpret_cast<char*>(bytes), 4);
      uint32_t value32 = 0;
      for (int i = 3; i >= 0; --i) value32 = value32 << 8 | bytes[i];
      return value32;
    };
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    std::streamoff record = static_cast<std::streamoff>(read32(end - 8)) + 4;
    while (record + 12 <= end) {
      const uint32_t id = read32(record);
      const uint32_t next = read32(record + 8);
      if (next == 0) return false;
      if (id == 1) {
        const uint32_t le = value;
        const char bytes[4] = {static_cast<char>(le & 0xFF), static_cast<char>((le >> 8) & 0xFF),
                               static_cast<char>((le >> 16) & 0xFF), static_cast<char>(le >> 24)};
        file.seekp(record + 12 + static_cast<std::streamoff>(4 * index));
        file.write(bytes, 4);
        return static_cast<bool>(file);
      }
      record = next;
    }
    return false;
  }

  // Starts the packaged show with the dialog watcher running.
  void Start() {
    session_.SetEnv("STANDIN_LOG", "C:\\kwtest\\standin.log");
    session_.SetEnv("STANDIN_QUIT_FILE", "C:\\kwtest\\quit-player");
    session_.StartDialogWatcher();
    pid_ = session_.Start({"C:\\show\\run.exe"}, "orbalo");
  }

  // Starts the packaged show once more after an earlier run ended, in the same
  // session: the player's log and quit file are cleared, the dialog watcher
  // started by Start goes on watching.
  void StartAgain(const std::string& label) {
    std::filesystem::remove(session_.DriveC() / "kwtest" / "standin.log");
    std::filesystem::remove(session_.DriveC() / "kwtest" / "quit-player");
    pid_ = session_.Start({"C:\\show\\run.exe"}, label);
  }

  std::vector<LogLine> PlayerLog() const {
    return ParseLog(WineSession::ReadFile(session_.DriveC() / "kwtest" / "standin.log"));
  }

  // Waits until the player's log has a line for which `match` holds.
  std::optional<LogLine> WaitForPlayer(const std::function<bool(const LogLine&)>& match,
                                       Millis timeout = 60s) const {
    std::optional<LogLine> found;
    WineSession::WaitUntil(
        [&] {
          for (const auto& line : PlayerLog()) {
            if (match(line)) {
              found = line;
              return true;
            }
          }
          return false;
        },
        timeout);
    return found;
  }

  // The player window at its own client size (550 x 400, the stand-in's),
  // frameless, top-most and shown: placed by the display switch and resumed.
  std::optional<LogLine> WaitUntilPlaying(Millis timeout = 60s) const {
    return WaitForPlayer(
        [](const LogLine& line) {
          return line.event == "state" && line.Number("visible") == 1 && line.Number("menu") == 0 &&
                 line.Number("topmost") == 1 && line.Number("w") == 550 && line.Number("h") == 400;
        },
        timeout);
  }

  std::vector<LogLine> PlayerEvents(const std::string& event) const {
    std::vector<LogLine> lines;
    for (const auto& line : PlayerLog()) {
      if (line.event == event) lines.push_back(line);
    }
    return lines;
  }

  std::vector<long> PrivateMessages() const {
    std::vector<long> ids;
    for (const auto& line : PlayerEvents("msg")) ids.push_back(line.Number("id"));
    return ids;
  }

  void QuitPlayer() { std::ofstream(session_.DriveC() / "kwtest" / "quit-player") << "quit\n"; }

  std::optional<int> WaitForEnd(Millis timeout = 60s) { return session_.WaitForExit(pid_, timeout); }

  // The per-run folder, from the path the player was started from.
  std::optional<std::filesystem::path> RunFolder() const {
    auto start = WaitForPlayer([](const LogLine& line) { return line.event == "start"; }, 1s);
    if (!start) return std::nullopt;
    std::string exe = (*start)["exe"];
    return session_.HostPath(exe.substr(0, exe.find_last_of('\\')));
  }

  // Folders named like per-run folders (five characters and "TMP") in the
  // system temporary folder.
  std::vector<std::string> RunFoldersLeft() const {
    std::vector<std::string> names;
    static const std::regex kRunFolder("[A-Z0-9]{5}TMP");
    for (const auto& entry : std::filesystem::directory_iterator(session_.TempFolder())) {
      std::string name = entry.path().filename().string();
      if (entry.is_directory() && std::regex_match(name, kRunFolder)) names.push_back(name);
    }
    return names;
  }

  std::vector<std::string> DialogTexts() const {
    std::vector<std::string> texts;
    for (const auto& dialog : session_.Dialogs()) texts.push_back(dialog["title"] + "|" + dialog["text"]);
    return texts;
  }

  // Waits until `count` message boxes were answered.
  std::vector<std::string> WaitForDialogs(size_t count, Millis timeout = 60s) const {
    WineSession::WaitUntil([&] { return session_.Dialogs().size() >= count; }, timeout);
    return DialogTexts();
  }

 private:
  WineSession& session_;
  pid_t pid_ = -1;
};

}  // namespace kw::winetest
