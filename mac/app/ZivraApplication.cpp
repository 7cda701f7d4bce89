// The zivra application: command line, assembly, start-up, the bounded run
// and the end.
#include "mac/app/ZivraApplication.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include "mac/app/playerSettings.h"
#include "mac/platform/Trace.h"

namespace kw {

namespace fs = std::filesystem;

const char* const kZivraUsage =
    "usage: Name.app/Contents/MacOS/zivra [options]\n"
    "       zivra --bundle Name.app [options]\n"
    "\n"
    "Plays the projector bundle Name.app (made by zivra-bundle) on the simulated\n"
    "desktop until the application quits.\n"
    "\n"
    "  --bundle Name.app      the bundle to play (default: the one holding the program)\n"
    "  --run-for SECONDS      end after this many seconds, as if the application quit\n"
    "  --input FILE           scripted input (mouse, keys, drops) for the desktop\n"
    "  --trace                print each command, reply, event and window change:\n"
    "                         \"<seconds> <kind> <text>\"\n"
    "  --snapshot FILE.png    write a picture of the screen at the end\n"
    "  --open-with-desktop    documents and URLs the movie opens go to the desktop's\n"
    "                         opener (xdg-open) instead of being only recorded\n"
    "  -h, --help             this text\n"
    "Exit status: 0 after a normal end, 1 when the snapshot could not be written,\n"
    "2 on wrong usage, a missing bundle or movie, or a bad input script.\n";

namespace {

// The bundle whose Contents/MacOS folder holds the program, if it is in one.
std::optional<fs::path> enclosingBundle(const fs::path& executable) {
  const fs::path macOS = executable.parent_path();
  const fs::path contents = macOS.parent_path();
  if (macOS.filename() != "MacOS" || contents.filename() != "Contents") return std::nullopt;
  return contents.parent_path();
}

std::optional<double> parseSeconds(std::string_view text) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
      seconds < 0) {
    return std::nullopt;
  }
  return seconds;
}

}  // namespace

ZivraCommandLine parseZivraCommandLine(int argc, const char* const* argv, const fs::path& executable,
                                       const fs::path& home) {
  ZivraCommandLine line;
  ZivraOptions options;
  options.arguments.assign(argv, argv + argc);
  options.preferences = home / "Library" / "Preferences";
  std::optional<fs::path> bundle;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      line.help = true;
      return line;
    }
    if (arg == "--trace") {
      options.trace = true;
      continue;
    }
    if (arg == "--open-with-desktop") {
      options.openWithDesktop = true;
      continue;
    }
    if (arg != "--bundle" && arg != "--run-for" && arg != "--input" && arg != "--snapshot") {
      line.error = "unknown argument \"" + std::string(arg) + "\"";
      return line;
    }
    if (i + 1 >= argc || *argv[i + 1] == '\0') {
      line.error = std::string(arg) + " needs a value";
      return line;
    }
    const char* value = argv[++i];
    if (arg == "--bundle") {
      bundle = fs::absolute(value);
    } else if (arg == "--input") {
      options.input = fs::absolute(value);
    } else if (arg == "--snapshot") {
      options.snapshot = fs::absolute(value);
    } else {
      options.runFor = parseSeconds(value);
      if (!options.runFor) {
        line.error = "bad --run-for \"" + std::string(value) + "\" (seconds, 0 or more)";
        return line;
      }
    }
  }
  if (!bundle) bundle = enclosingBundle(executable);
  if (!bundle) {
    line.error = "the program is not inside a bundle (Name.app/Contents/MacOS/zivra): give --bundle Name.app";
    return line;
  }
  options.bundle = bundle->lexically_normal();
  line.options = std::move(options);
  return line;
}

std::unique_ptr<ZivraApplication> ZivraApplication::open(const ZivraOptions& options, std::string& error) {
  std::optional<Bundle> bundle = Bundle::open(options.bundle);
  if (!bundle) {
    error = "no application bundle at " + options.bundle.string();
    return nullptr;
  }
  if (!bundle->pathForResource("zvdata", "zve")) {
    error = "the bundle " + options.bundle.string() + " has no movie (Contents/Resources/zvdata.zve)";
    return nullptr;
  }
  std::optional<InputScript> script;
  if (options.input) {
    script = readInputScript(*options.input);
    if (!script->ok()) {
      error = "bad input script " + options.input->string() + ": " + script->error->describe();
      return nullptr;
    }
  }
  return std::unique_ptr<ZivraApplication>(new ZivraApplication(options, std::move(*bundle), std::move(script)));
}

ZivraApplication::ZivraApplication(const ZivraOptions& options, Bundle bundle, std::optional<InputScript> script)
    : options_(options),
      bundle_(std::move(bundle)),
      script_(std::move(script)),
      assembly_({options.clock, options.bundle, nullptr, nullptr, nullptr, nullptr}),
      desktop_(assembly_.runLoop, options.bundle),
      defaults_(options.preferences / (bundle_.infoString("CFBundleIdentifier").value_or("zivra") + ".plist")) {
  playerSettings::setBundle(bundle_);
  assembly_.services().application = &desktop_;
  if (options.openWithDesktop) assembly_.services().workspace = &opener_;
  FamilyServices familyServices = parts().familyServices();
  // The controller comes first: the window family reaches its windows. The
  // families are needed only once the controller starts.
  controller_ = std::make_unique<Controller>(services(), assembly_.registry);
  familyServices.projectorWindows = controller_.get();
  WebWindowServices webServices = parts().webWindowServices();
  webServices.equipCommandHandler = [this](KW_Commands& handler) { families_->equip(handler); };
  webServices.systemPlugin = "/Library/Internet Plug-Ins/Flash Player.plugin";
  webServices.userPluginsFolder = options.preferences.parent_path() / "Internet Plug-Ins";
  webWindows_ = std::make_unique<WebWindowManager>(std::move(webServices));
  familyServices.webWindows = webWindows_.get();
  families_ = std::make_unique<CommandFamilies>(familyServices);
  // simpleGet / simplePut start their transfers while they are parsed.
  assembly_.runner.setFTPStarter(families_->ftpStarter());
}

ZivraApplication::~ZivraApplication() {
  assembly_.runner.setFTPStarter(nullptr);
  webWindows_.reset();
  controller_.reset();
  trace::setSink({});
  playerSettings::setBundle(std::nullopt);
}

ApplicationParts ZivraApplication::parts() {
  return {assembly_, desktop_, &bundle_, &defaults_, options_.arguments};
}

WindowServices ZivraApplication::services() {
  WindowServices services = parts().windowServices();
  services.systemPlugin = "/Library/Internet Plug-Ins/Flash Player.plugin";
  services.equipCommandHandler = [this](KW_Commands& handler) { families_->equip(handler); };
  return services;
}

int ZivraApplication::run(std::string& error) {
  RunLoop& loop = assembly_.runLoop;
  if (options_.trace) {
    std::FILE* out = options_.traceOut;
    trace::setSink([&loop, out](std::string_view kind, std::string_view text) {
      // One line each: line breaks inside a text are written as \n and \r.
      std::string line;
      for (const char c : text) line += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
      std::fprintf(out, "%.3f %.*s ", loop.now(), static_cast<int>(kind.size()), kind.data());
      line += '\n';
      std::fwrite(line.data(), 1, line.size(), out);
      std::fflush(out);
    });
  }
  controller_->start();
  std::vector<RunLoop::TimerId> input;
  if (script_) input = scheduleInputScript(loop, desktop_, script_->events);

  // The end is checked every 10 ms of loop time; between checks the loop
  // waits for its next timer. The time limit counts from the loop's start.
  bool ended = false;
  const RunLoop::TimerId check = loop.scheduleTimer(0.01, true, [&] { ended = desktop_.terminated(); });
  // Windows whose views changed are redrawn at the screen's 60 Hz.
  const RunLoop::TimerId redraw = loop.scheduleTimer(1.0 / 60, true, [this] { desktop_.displayWindowsIfNeeded(); });
  const double limit = options_.runFor ? std::max(0.0, *options_.runFor - loop.now())
                                       : std::numeric_limits<double>::infinity();
  loop.runUntil([&] { return ended; }, limit);
  loop.cancel(check);
  loop.cancel(redraw);
  desktop_.displayWindowsIfNeeded();
  for (const RunLoop::TimerId timer : input) loop.cancel(timer);

  int status = 0;
  if (options_.snapshot && !desktop_.renderScreen().writePng(*options_.snapshot)) {
    error = "cannot write the snapshot " + options_.snapshot->string();
    status = 1;
  }
  if (!desktop_.terminated()) controller_->applicationWillTerminate();
  trace::setSink({});
  return status;
}

}  // namespace kw
