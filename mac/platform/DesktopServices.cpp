// Desktop services: alert panels answering from a script, a workspace that
// records what it is asked to open, the real workspace that runs the
// desktop's opener, and the starting of child processes.
#include "mac/platform/DesktopServices.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace kw {

size_t SimAlertPanels::runAlert(const AlertRequest& alert) {
  shown.push_back(alert);
  if (answers.empty()) return 0;
  const size_t answer = answers.front();
  answers.pop_front();
  // A panel cannot answer a button it does not show; an alert without buttons
  // shows a single default one.
  const size_t buttonCount = alert.buttons.empty() ? 1 : alert.buttons.size();
  return answer < buttonCount ? answer : 0;
}

bool SimWorkspace::openURL(const std::string& url) {
  opened.push_back(url);
  return !url.empty();
}

bool SimWorkspace::openFile(const std::string& path) {
  openedFiles.push_back(path);
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

bool SimWorkspace::selectFile(const std::string& path) {
  selectedFiles.push_back(path);
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

bool OpenerWorkspace::runOpener(const std::string& item) const {
  if (item.empty()) return false;
  const std::optional<int> pid = spawnProcess(opener_, {item}, true);
  return pid && waitForProcess(*pid) == 0;
}

bool OpenerWorkspace::openURL(const std::string& url) { return runOpener(url); }

bool OpenerWorkspace::openFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return false;
  // A relative path that looks like an option is given as one that does not.
  return runOpener(path.front() == '-' ? "./" + path : path);
}

bool OpenerWorkspace::selectFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return false;
  const std::filesystem::path folder = std::filesystem::path(path).lexically_normal().parent_path();
  return runOpener(folder.empty() ? std::string(".") : folder.string());
}

std::optional<int> spawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                                bool searchPath, const std::filesystem::path& input) {
  if (program.empty()) return std::nullopt;
  std::vector<std::string> storage;
  storage.reserve(arguments.size() + 1);
  storage.push_back(program);
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
  if (!input.empty() && posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return std::nullopt;
  }
  pid_t pid = 0;
  const int error = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                               : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return std::nullopt;
  return static_cast<int>(pid);
}

int waitForProcess(int pid) {
  int status = 0;
  pid_t ended = 0;
  do {
    ended = waitpid(static_cast<pid_t>(pid), &status, 0);
  } while (ended < 0 && errno == EINTR);
  if (ended != static_cast<pid_t>(pid) || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace kw
