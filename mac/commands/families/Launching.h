// Starting programs and opening documents for executeApplication, and
// handing mail to the system's mail transfer program (sendmail).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class Workspace;

// The programs started here. They run on their own; the ones that have ended
// are collected at each start and when the object goes, so none is left a zombie.
class ChildProcesses {
 public:
  ChildProcesses() = default;
  ~ChildProcesses();
  ChildProcesses(const ChildProcesses&) = delete;
  ChildProcesses& operator=(const ChildProcesses&) = delete;

  // Starts the program with the arguments; false when it could not be started.
  bool start(const std::filesystem::path& program, const std::vector<std::string>& arguments);

 private:
  void collectEnded();
  std::vector<int> running_;
};

// launchAnApplication:: false when nothing exists at the path. A program (an
// executable file, or a bundle with an executable) is started without
// arguments; anything else is opened with its default application.
bool launchAnApplication(const std::string& path, Workspace* workspace, ChildProcesses& children);
// launchTask:arguments:: an existing executable file is started with the
// arguments split at ","; true whenever the file exists.
bool launchTask(const std::string& path, const std::string& arguments, ChildProcesses& children);

// The mail transfer program: "sendmail" on PATH, else /usr/sbin/sendmail or
// /usr/lib/sendmail; none when there is none.
std::optional<std::filesystem::path> mailProgram();
// The message as the mail program reads it (headers, blank line, body);
// none for an empty address or header fields that would break the headers.
std::optional<std::string> composeMail(const std::string& message, const std::string& subject,
                                       const std::string& address);
// Hands the message to the mail program; true when it accepted it (exit status 0).
bool sendMail(const std::string& message, const std::string& subject, const std::string& address);

}  // namespace kw
