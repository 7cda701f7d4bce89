// The zivra application: a projector bundle played on the sim desktop. It
// assembles the plug-in host (on the real clock for the program), the desktop,
// the user defaults, the window services and the controller, runs the
// controller's start-up, then the run loop until the application terminates
// or a time limit passes. The program's main and the tests both use it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/app/CommandFamilies.h"
#include "mac/app/Controller.h"
#include "mac/app/HostAssembly.h"
#include "mac/net/WebWindows.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/InputScript.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/UserDefaults.h"

namespace kw {

struct ZivraOptions {
  std::filesystem::path bundle;                   // Name.app
  std::optional<double> runFor;                   // seconds of loop time; none: until it terminates
  std::optional<std::filesystem::path> input;     // scripted input
  std::optional<std::filesystem::path> snapshot;  // PNG of the screen at the end
  bool trace = false;                             // trace lines to `traceOut`
  bool openWithDesktop = false;                   // the real opener instead of the recording workspace
  std::FILE* traceOut = stdout;
  std::vector<std::string> arguments;             // the command line, program first
  // The folder of the user defaults file <CFBundleIdentifier or "zivra">.plist.
  std::filesystem::path preferences;
  RunLoop::ClockKind clock = RunLoop::ClockKind::Real;
};

extern const char* const kZivraUsage;

// The command line read: the options, or the message to print before ending
// with status 2, or a request for the usage text.
struct ZivraCommandLine {
  std::optional<ZivraOptions> options;
  std::string error;
  bool help = false;
};

// Reads the command line. Without --bundle the bundle is the one whose
// Contents/MacOS folder holds `executable` (the program's own path). Paths are
// made absolute, because the application changes its current directory. The
// user defaults go to `home`/Library/Preferences.
ZivraCommandLine parseZivraCommandLine(int argc, const char* const* argv, const std::filesystem::path& executable,
                                       const std::filesystem::path& home);

class ZivraApplication {
 public:
  // Checks the bundle (a folder with Contents and the movie
  // Contents/Resources/zvdata.zve) and parses the input script; none, with
  // `error` set, when either is missing or wrong. Sets the player settings'
  // bundle for the life of the application.
  static std::unique_ptr<ZivraApplication> open(const ZivraOptions& options, std::string& error);
  ~ZivraApplication();
  ZivraApplication(const ZivraApplication&) = delete;
  ZivraApplication& operator=(const ZivraApplication&) = delete;

  // The start-up, the run and the end: the snapshot is rendered when the run
  // ends; an application that did not terminate by itself is then told it
  // will terminate (the controller writes the user defaults). Answers the exit
  // status: 0, or 1 with `error` set when the snapshot could not be written.
  int run(std::string& error);

  HostAssembly& assembly() { return assembly_; }
  Desktop& desktop() { return desktop_; }
  Controller& controller() { return *controller_; }
  UserDefaults& defaults() { return defaults_; }

 private:
  ZivraApplication(const ZivraOptions& options, Bundle bundle, std::optional<InputScript> script);
  ApplicationParts parts();
  WindowServices services();

  ZivraOptions options_;
  Bundle bundle_;
  std::optional<InputScript> script_;
  OpenerWorkspace opener_;
  HostAssembly assembly_;
  Desktop desktop_;
  UserDefaults defaults_;
  std::unique_ptr<CommandFamilies> families_;
  std::unique_ptr<WebWindowManager> webWindows_;  // the web page windows; go before the controller
  std::unique_ptr<Controller> controller_;  // goes first, while all it uses still exists
};

}  // namespace kw
