// Wine test harness: private X server and prefix copy per test, processes,
// bounded waits, the dialog watcher and screenshots.
#include "tools/wine/WineSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kw::winetest {

namespace fs = std::filesystem;

namespace {

const std::string kEmpty;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Reads a value at `pos`: a quoted text with backslash escapes or a bare word.
std::string ReadValue(std::string_view line, size_t& pos) {
  std::string value;
  if (pos < line.size() && line[pos] == '"') {
    ++pos;
    while (pos < line.size() && line[pos] != '"') {
      char c = line[pos++];
      if (c == '\\' && pos < line.size()) {
        char escaped = line[pos++];
        c = escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
      }
      value += c;
    }
    ++pos;  // closing quote
  } else {
    while (pos < line.size() && line[pos] != ' ') value += line[pos++];
  }
  return value;
}

// Runs a host program to its end with a bounded wait; true on exit code 0.
bool RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env, Millis timeout) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  bool ended = WineSession::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

const std::string& LogLine::operator[](const std::string& key) const {
  auto it = values.find(key);
  return it == values.end() ? kEmpty : it->second;
}

long LogLine::Number(const std::string& key) const {
  auto it = values.find(key);
  if (it == values.end() || it->second.empty()) return -1;
  return std::strtol(it->second.c_str(), nullptr, 0);
}

std::optional<LogLine> ParseLogLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  LogLine parsed;
  size_t pos = 0;
  if (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos]))) {
    size_t space = line.find(' ');
    parsed.ms = std::strtol(std::string(line.substr(0, space)).c_str(), nullptr, 10);
    pos = space == std::string_view::npos ? line.size() : space + 1;
  }
  size_t space = line.find(' ', pos);
  parsed.event = std::string(line.substr(pos, space == std::string_view::npos ? std::string_view::npos : space - pos));
  if (parsed.event.empty()) return std::nullopt;
  pos = space == std::string_view::npos ? line.size() : space + 1;
  while (pos < line.size()) {
    size_t equals = line.find('=', pos);
    if (equals == std::string_view::npos) break;
    std::string key(line.substr(pos, equals - pos));
    pos = equals + 1;
    parsed.values[key] = ReadValue(line, pos);
    while (pos < line.size() && line[pos] == ' ') ++pos;
  }
  return parsed;
}

std::vector<LogLine> ParseLog(std::string_view text) {
  std::vector<LogLine> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) break;  // a line still being written
    if (auto line = ParseLogLine(text.substr(start, end - start))) lines.push_back(*line);
    start = end + 1;
  }
  return lines;
}

WineSession::WineSession(const WineSetup& setup, const std::string& testName, bool virtualDesktop,
                         const std::string& screen)
    : setup_(setup), artifacts_(setup.artifactsRoot / testName), prefix_(artifacts_ / "prefix"), screen_(screen) {
  fs::remove_all(artifacts_);
  fs::create_directories(artifacts_);
  if (!fs::exists(setup_.templatePrefix / ".kw-complete")) {
    throw std::runtime_error("template Wine prefix missing: " + setup_.templatePrefix.string());
  }
  std::string copy = "cp -a '" + setup_.templatePrefix.string() + "' '" + prefix_.string() + "'";
  if (std::system(copy.c_str()) != 0) throw std::runtime_error("cannot copy the Wine prefix");
  if (!virtualDesktop || screen_ != "1024x768") {
    // Edit the desktop settings of the user registry (no wineserver runs yet).
    fs::path userReg = prefix_ / "user.reg";
    std::string text = ReadFile(userReg);
    auto replace = [&text](const std::string& from, const std::string& to) {
      if (auto at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
    };
    if (!virtualDesktop) replace("\"Desktop\"=\"Default\"\n", "");
    replace("\"Default\"=\"1024x768\"", "\"Default\"=\"" + screen_ + "\"");
    std::ofstream(userReg, std::ios::binary | std::ios::trunc) << text;
  }
  fs::create_directories(DriveC() / "kwtest");
  env_["WINEPREFIX"] = prefix_.string();
  env_["WINEDEBUG"] = "-all";
  env_["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d";
  StartXServer();
  env_["DISPLAY"] = display_;
}

WineSession::~WineSession() {
  RunHost({setup_.wineserver.string(), "-k"}, Environment(), Millis(20000));
  for (pid_t pid : started_) {
    if (exited_.count(pid)) continue;
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (xserver_ > 0) {
    kill(xserver_, SIGTERM);
    if (!WaitUntil([&] { return waitpid(xserver_, nullptr, WNOHANG) == xserver_; }, Millis(5000))) {
      kill(xserver_, SIGKILL);
      waitpid(xserver_, nullptr, 0);
    }
  }
  // Keep what the programs wrote; drop the large prefix copy.
  std::error_code error;
  fs::copy(DriveC() / "kwtest", artifacts_ / "kwtest", fs::copy_options::recursive, error);
  // KW_WINE_KEEP_PREFIX=1 keeps it for a closer look at a failing test.
  if (!std::getenv("KW_WINE_KEEP_PREFIX")) fs::remove_all(prefix_, error);
}

void WineSession::StartXServer() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::string fd = std::to_string(fds[1]);
    std::string depth = screen_ + "x24";
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", depth.c_str(), "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  xserver_ = pid;
  std::string number;
  pollfd waiting{fds[0], POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    if (poll(&waiting, 1, 100) > 0) {
      char buffer[32];
      ssize_t count = read(fds[0], buffer, sizeof buffer);
      if (count <= 0) break;
      number.append(buffer, static_cast<size_t>(count));
    }
  }
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_ = ":" + number.substr(0, number.find('\n'));
}

std::vector<std::string> WineSession::Environment() const {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('='));
    if (!env_.count(name)) env.push_back(text);
  }
  for (const auto& [name, value] : env_) env.push_back(name + "=" + value);
  return env;
}

void WineSession::SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }

fs::path WineSession::HostPath(std::string_view windowsPath) const {
  std::string path(windowsPath);
  if (path.size() >= 2 && (path[0] == 'C' || path[0] == 'c') && path[1] == ':') path.erase(0, 2);
  fs::path host = DriveC();
  std::stringstream parts(path);
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    fs::path exact = host / part;
    if (!fs::exists(exact) && fs::is_directory(host)) {
      for (const auto& entry : fs::directory_iterator(host)) {
        if (Lower(entry.path().filename().string()) == Lower(part)) {
          exact = entry.path();
          break;
        }
      }
    }
    host = exact;
  }
  return host;
}

fs::path WineSession::TempFolder() const {
  for (const auto& user : fs::directory_iterator(DriveC() / "users")) {
    if (user.path().filename() == "Public") continue;
    fs::path temp = user.path() / "Temp";
    if (fs::is_directory(temp)) return temp;
    temp = user.path() / "AppData" / "Local" / "Temp";
    if (fs::is_directory(temp)) return temp;
  }
  return {};
}

pid_t WineSession::Start(const std::vector<std::string>& args, const std::string& label) {
  std::vector<std::string> command{setup_.wine.string()};
  command.insert(command.end(), args.begin(), args.end());
  std::vector<std::string> env = Environment();
  std::string out = (artifacts_ / (label + ".out")).string();
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    dup2(file, 2);
    std::vector<char*> argv;
    for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  started_.push_back(pid);
  return pid;
}

bool WineSession::Running(pid_t pid) {
  if (exited_.count(pid)) return false;
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) {
    exited_[pid] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

std::optional<int> WineSession::WaitForExit(pid_t pid, Millis timeout) {
  if (!WaitUntil([&] { return !Running(pid); }, timeout)) return std::nullopt;
  return exited_[pid];
}

std::optional<std::string> WineSession::Run(const std::vector<std::string>& args, const std::string& label,
                                            Millis timeout) {
  pid_t pid = Start(args, label);
  if (!WaitForExit(pid, timeout)) return std::nullopt;
  return ReadFile(artifacts_ / (label + ".out"));
}

void WineSession::StartDialogWatcher() {
  fs::copy_file(setup_.windowsBin / "winhelper.exe", DriveC() / "kwtest" / "winhelper.exe",
                fs::copy_options::overwrite_existing);
  Start({"C:\\kwtest\\winhelper.exe", "dialogs", "C:\\kwtest\\dialogs.txt"}, "dialog-watcher");
}

std::vector<LogLine> WineSession::Dialogs() const { return ParseLog(ReadFile(DialogFile())); }

std::optional<std::string> WineSession::Helper(const std::vector<std::string>& args, Millis timeout) {
  fs::path helper = DriveC() / "kwtest" / "winhelper.exe";
  if (!fs::exists(helper)) fs::copy_file(setup_.windowsBin / "winhelper.exe", helper);
  static int count = 0;
  std::vector<std::string> command{"C:\\kwtest\\winhelper.exe"};
  command.insert(command.end(), args.begin(), args.end());
  return Run(command, "helper-" + std::to_string(++count) + "-" + args.front(), timeout);
}

void WineSession::Screenshot(const std::string& name) {
  RunHost({"/usr/bin/import", "-display", display_, "-window", "root", (artifacts_ / (name + ".png")).string()},
          Environment(), Millis(20000));
}

bool WineSession::WaitUntil(const std::function<bool()>& condition, Millis timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(50));
  }
}

std::string WineSession::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace kw::winetest
