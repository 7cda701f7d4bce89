// Program launching, document opening and mail delivery through child processes.
#include "mac/commands/families/Launching.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "mac/platform/Bundle.h"
#include "mac/platform/DesktopServices.h"

namespace kw {
namespace fs = std::filesystem;

namespace {

bool isExecutableFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> splitAtCommas(const std::string& text) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

bool isAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// An encoded word ("=?UTF-8?B?...?=") for a header text that is not plain ASCII.
std::string encodedWord(const std::string& text) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out = "=?UTF-8?B?";
  for (size_t i = 0; i < text.size(); i += 3) {
    const size_t n = std::min<size_t>(3, text.size() - i);
    uint32_t bits = 0;
    for (size_t k = 0; k < 3; ++k) {
      bits = (bits << 8) | (k < n ? static_cast<unsigned char>(text[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(bits >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out + "?=";
}

}  // namespace

ChildProcesses::~ChildProcesses() { collectEnded(); }

bool ChildProcesses::start(const fs::path& program, const std::vector<std::string>& arguments) {
  collectEnded();
  const std::optional<int> pid = spawnProcess(program.string(), arguments);
  if (!pid) return false;
  running_.push_back(*pid);
  return true;
}

void ChildProcesses::collectEnded() {
  std::erase_if(running_, [](int pid) {
    int status = 0;
    // Ended (collected now) or no longer ours to wait for.
    return ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) != 0;
  });
}

bool launchAnApplication(const std::string& path, Workspace* workspace, ChildProcesses& children) {
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return false;
  if (isExecutableFile(path)) return children.start(path, {});
  if (fs::is_directory(path, ec)) {
    if (const std::optional<Bundle> bundle = Bundle::open(path)) {
      if (const auto executable = bundle->executablePath(); executable && isExecutableFile(*executable)) {
        return children.start(*executable, {});
      }
    }
  }
  return workspace != nullptr && workspace->openFile(path);
}

bool launchTask(const std::string& path, const std::string& arguments, ChildProcesses& children) {
  // The path as the movie gave it; the system's form of it is the same text.
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return false;
  if (isExecutableFile(path)) children.start(path, splitAtCommas(arguments));
  return true;
}

std::optional<fs::path> mailProgram() {
  if (const char* searchPath = std::getenv("PATH"); searchPath != nullptr) {
    const std::string folders = searchPath;
    size_t start = 0;
    while (start <= folders.size()) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      const fs::path folder = end > start ? fs::path(folders.substr(start, end - start)) : fs::path(".");
      if (isExecutableFile(folder / "sendmail")) return folder / "sendmail";
      start = end + 1;
    }
  }
  for (const char* known : {"/usr/sbin/sendmail", "/usr/lib/sendmail"}) {
    if (isExecutableFile(known)) return fs::path(known);
  }
  return std::nullopt;
}

std::optional<std::string> composeMail(const std::string& message, const std::string& subject,
                                       const std::string& address) {
  auto breaksHeader = [](const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; };
  if (address.empty() || breaksHeader(address) || breaksHeader(subject)) return std::nullopt;
  std::string mail = "To: " + address + "\n";
  mail += "Subject: " + (isAscii(subject) ? subject : encodedWord(subject)) + "\n";
  mail += "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n";
  // Line ends as the mail program reads them.
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r') {
      mail += '\n';
      if (i + 1 < message.size() && message[i + 1] == '\n') ++i;
    } else {
      mail += message[i];
    }
  }
  if (mail.back() != '\n') mail += '\n';
  return mail;
}

bool sendMail(const std::string& message, const std::string& subject, const std::string& address) {
  const std::optional<fs::path> program = mailProgram();
  const std::optional<std::string> mail = composeMail(message, subject, address);
  if (!program || !mail) return false;
  std::error_code ec;
  std::string file = (fs::temp_directory_path(ec) / "zivra-mail-XXXXXX").string();
  const int fd = ::mkstemp(file.data());
  if (fd < 0) return false;
  size_t written = 0;
  while (written < mail->size()) {
    const ssize_t n = ::write(fd, mail->data() + written, mail->size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(fd);
  bool sent = false;
  if (written == mail->size()) {
    // -t: the recipients are read from the headers; -i: a line of "." does not end the message.
    if (const std::optional<int> pid = spawnProcess(program->string(), {"-t", "-i"}, false, file)) {
      sent = waitForProcess(*pid) == 0;
    }
  }
  ::unlink(file.c_str());
  return sent;
}

}  // namespace kw
