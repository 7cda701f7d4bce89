// zivra-exec: starts a projector bundle on the simulated desktop (virtual
// clock, nothing shown) and runs each command text as the first window's
// movie would send it: a URL request answered with loaded variables, or with
// --sync an ExternalInterface call answered with an XML value. Prints one line
// per command, lets the run loop settle, and ends.
#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/app/ZivraApplication.h"
#include "mac/commands/CommandParser.h"
#include "mac/commands/CommandRunner.h"
#include "mac/commands/Replies.h"
#include "mac/pluginhost/FlashPlugin.h"

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "usage: zivra-exec --bundle Name.app [--sync] [--window N] TEXT...\n"
    "\n"
    "Starts the projector bundle Name.app on the simulated desktop and runs each\n"
    "TEXT as a command of its first window's movie, printing one reply per line.\n"
    "\n"
    "  --bundle Name.app   the bundle to start\n"
    "  --sync              send the texts as ExternalInterface calls (KW_call with\n"
    "                      \"KW://KW_...\", KW_call2 with \"[...]\") and print the XML\n"
    "                      values; without it the texts are URL requests\n"
    "                      (\"KW://KW_...\") and the loaded variables are printed\n"
    "  --window N          send from the window whose instance identity is N\n"
    "  -h, --help          this text\n"
    "A command that gets no reply prints an empty line.\n"
    "Exit status: 0 after the run, 2 on wrong usage or a missing bundle or window.\n";

// Time for the first window to load its movie, the wait for a command whose
// reply comes later (the default deadline of a request), the reply poll of a
// URL request, and the settling at the end: seconds of the virtual clock.
constexpr double kStartUp = 0.5;
constexpr double kReplyDeadline = 5.0;
constexpr double kReplyPoll = 0.1;
constexpr double kSettle = 0.5;

struct Arguments {
  fs::path bundle;
  bool sync = false;
  std::optional<uint32_t> window;
  std::vector<std::string> texts;
  std::vector<std::string> commandLine;
};

fs::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return "/";
}

// The arguments, or none with `error` set (empty `error`: the usage was asked for).
std::optional<Arguments> parseArguments(int argc, char** argv, std::string& error) {
  Arguments arguments;
  arguments.commandLine.assign(argv, argv + argc);
  bool textsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (textsOnly || arg.empty() || arg.front() != '-') {
      arguments.texts.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      textsOnly = true;
    } else if (arg == "-h" || arg == "--help") {
      error.clear();
      return std::nullopt;
    } else if (arg == "--sync") {
      arguments.sync = true;
    } else if (arg == "--bundle" || arg == "--window") {
      if (i + 1 >= argc || *argv[i + 1] == '\0') {
        error = std::string(arg) + " needs a value";
        return std::nullopt;
      }
      const std::string_view value = argv[++i];
      if (arg == "--bundle") {
        arguments.bundle = fs::absolute(value).lexically_normal();
        continue;
      }
      uint32_t identity = 0;
      const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), identity);
      if (failure != std::errc() || end != value.data() + value.size() || identity == 0) {
        error = "bad --window \"" + std::string(value) + "\" (an instance identity, 1 or more)";
        return std::nullopt;
      }
      arguments.window = identity;
    } else {
      error = "unknown argument \"" + std::string(arg) + "\"";
      return std::nullopt;
    }
  }
  if (arguments.bundle.empty()) {
    error = "give the bundle with --bundle Name.app";
    return std::nullopt;
  }
  if (arguments.texts.empty()) {
    error = "give at least one command TEXT";
    return std::nullopt;
  }
  return arguments;
}

// What the parser asks of the host: the desktop's mouse; FTP transfers are
// not available here (such a request ends without a reply).
class ParserHost : public kw::ParserServices {
 public:
  explicit ParserHost(kw::MouseLocator& mouse) : mouse_(mouse) {}
  kw::MousePoint currentMousePosition() override { return mouse_.currentMousePosition(); }
  kw::Status startFTPTransfer(kw::CocoaInterfaceData&) override { return kw::kStatusFTPNotAvailable; }

 private:
  kw::MouseLocator& mouse_;
};

bool isURLFormRequest(std::string_view text) {
  return text.substr(0, 8) == "KW://KW_" || text.substr(0, 8) == "KW://SS_";
}

// Runs one command as the command runner does and answers the reply text
// ("" when there is none). `requester` is live on entry.
std::string runCommand(kw::ZivraApplication& application, kw::FlashPlugin* requester, std::string_view text,
                       bool sync) {
  kw::HostAssembly& assembly = application.assembly();
  kw::RunLoop& loop = assembly.runLoop;
  kw::HostServices& services = assembly.services();
  const uint32_t identity = assembly.registry.identityOf(requester);
  auto record = kw::CocoaInterfaceData::create(loop.tickCount(), requester, requester->fMovieSpec);
  ParserHost parserHost(assembly.desktopMouse);
  kw::Status status;
  if (isURLFormRequest(text)) {
    const std::string_view request = text.substr(8);
    if (kw::isDroppedByCommandFilter(request)) return {};
    status = kw::parseCommand(request, record.get(), sync, false, parserHost);
  } else {
    status = kw::parseCommand(text, record.get(), sync, true, parserHost);
  }
  if (status != kw::kStatusRunCommand) return {};
  const bool ran = kw::handRecordToTarget(*record, requester, services);
  if (sync) return kw::isLiveRequester(requester, identity, services) ? kw::syncReplyXML(*record) : std::string();
  // A URL request is answered at the first poll after the record completes,
  // while its requester lives; a record no live target took never completes.
  bool answered = false;
  if (ran) {
    answered = loop.runUntil(
        [&] { return record->completed != 0 || !kw::isLiveRequester(requester, identity, services); },
        kReplyDeadline);
    loop.runFor(kReplyPoll);
  }
  if (!answered || record->completed == 0 || !kw::isLiveRequester(requester, identity, services)) return {};
  return kw::asyncReplyVariables(*record);
}

// A reply on one line: line breaks are written as \n and \r.
void printLine(const std::string& reply) {
  std::string line;
  for (const char c : reply) line += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<Arguments> arguments = parseArguments(argc, argv, error);
  if (!arguments) {
    if (error.empty()) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "zivra-exec: %s\n\n%s", error.c_str(), kUsage);
    return 2;
  }

  kw::ZivraOptions options;
  options.bundle = arguments->bundle;
  options.clock = kw::RunLoop::ClockKind::Virtual;
  options.arguments = arguments->commandLine;
  options.preferences = homeFolder() / "Library" / "Preferences";
  std::unique_ptr<kw::ZivraApplication> application = kw::ZivraApplication::open(options, error);
  if (!application) {
    std::fprintf(stderr, "zivra-exec: %s\n", error.c_str());
    return 2;
  }
  kw::RunLoop& loop = application->assembly().runLoop;
  application->controller().start();
  loop.runFor(kStartUp);

  kw::PluginRegistry& registry = application->assembly().registry;
  const auto requester = [&]() -> kw::FlashPlugin* {
    if (arguments->window) return registry.pluginForIdentity(*arguments->window);
    kw::FlashWindow* first = application->controller().flashWindow();
    return first != nullptr ? first->plugin() : nullptr;
  };
  int status = 0;
  for (const std::string& text : arguments->texts) {
    kw::FlashPlugin* plugin = requester();
    if (plugin == nullptr || !registry.isAValidNsPlugin(plugin) || !plugin->isSane()) {
      if (arguments->window) {
        std::fprintf(stderr, "zivra-exec: no window with the instance identity %u\n", *arguments->window);
      } else {
        std::fprintf(stderr, "zivra-exec: the bundle's first window has no movie running\n");
      }
      status = 2;
      break;
    }
    printLine(runCommand(*application, plugin, text, arguments->sync));
  }

  loop.runFor(kSettle);
  if (!application->desktop().terminated()) application->controller().applicationWillTerminate();
  return status;
}
