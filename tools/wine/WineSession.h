// Wine test harness: one private X server and one private copy of the template
// Wine prefix per test, Windows programs started in it, bounded waits, artifacts.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw::winetest {

using Millis = std::chrono::milliseconds;

// Where the harness finds its tools; the tests fill it from build settings.
struct WineSetup {
  std::filesystem::path wine;             // wine64
  std::filesystem::path wineserver;
  std::filesystem::path templatePrefix;   // made once by tools/wine/make-prefix.sh
  std::filesystem::path windowsBin;       // orbalo.exe, ORBALORT.DLL, standin-player.exe, winhelper.exe
  std::filesystem::path artifactsRoot;    // one folder per test: logs, screenshots
};

// One line of a log of the form "[ms] event key=value key="text" ...".
struct LogLine {
  long ms = -1;
  std::string event;
  std::map<std::string, std::string> values;

  const std::string& operator[](const std::string& key) const;
  long Number(const std::string& key) const;  // decimal or 0x hexadecimal; -1 when absent
};

std::optional<LogLine> ParseLogLine(std::string_view line);
std::vector<LogLine> ParseLog(std::string_view text);

class WineSession {
 public:
  // Copies the template prefix, starts the X server. `virtualDesktop` false
  // removes the desktop setting from the copy: programs then run on the bare
  // X server, which refuses every display mode change.
  // `screen` ("WxH") sizes both the X screen and the virtual desktop.
  WineSession(const WineSetup& setup, const std::string& testName, bool virtualDesktop = true,
              const std::string& screen = "1024x768");
  ~WineSession();
  WineSession(const WineSession&) = delete;
  WineSession& operator=(const WineSession&) = delete;

  const WineSetup& setup() const { return setup_; }
  const std::filesystem::path& artifacts() const { return artifacts_; }
  std::filesystem::path DriveC() const { return prefix_ / "drive_c"; }
  // A "C:\..." path in this prefix as a host path (case-insensitive lookup of
  // each existing component, as Windows names are).
  std::filesystem::path HostPath(std::string_view windowsPath) const;
  // The system temporary folder of the prefix's user (C:\users\NAME\Temp).
  std::filesystem::path TempFolder() const;

  // Environment passed to every program started from now on.
  void SetEnv(const std::string& name, const std::string& value);

  // Starts `wine64 args...`; its output goes to the artifacts folder (`label`.out).
  pid_t Start(const std::vector<std::string>& args, const std::string& label);
  // Runs `wine64 args...` to its end (bounded); returns its standard output.
  std::optional<std::string> Run(const std::vector<std::string>& args, const std::string& label,
                                 Millis timeout);
  // The exit code once the process ended within `timeout`.
  std::optional<int> WaitForExit(pid_t pid, Millis timeout);
  bool Running(pid_t pid);

  // The dialog watcher records every message box into DialogFile() and presses OK.
  void StartDialogWatcher();
  std::filesystem::path DialogFile() const { return DriveC() / "kwtest" / "dialogs.txt"; }
  std::vector<LogLine> Dialogs() const;

  // The Windows helper (winhelper.exe) with a command, run to its end.
  std::optional<std::string> Helper(const std::vector<std::string>& args, Millis timeout = Millis(30000));

  // Keeps a picture of the whole X screen in the artifacts folder.
  void Screenshot(const std::string& name);

  // Polls `condition` every 50 ms until it holds or `timeout` passed.
  static bool WaitUntil(const std::function<bool()>& condition, Millis timeout);
  static std::string ReadFile(const std::filesystem::path& path);

 private:
  void StartXServer();
  std::vector<std::string> Environment() const;

  WineSetup setup_;
  std::filesystem::path artifacts_;
  std::filesystem::path prefix_;
  std::string screen_;
  std::string display_;
  pid_t xserver_ = -1;
  std::vector<pid_t> started_;
  std::map<std::string, std::string> env_;
  std::map<pid_t, int> exited_;
};

}  // namespace kw::winetest
