// Desktop services the plug-in host needs: alert panels, the workspace that
// opens URLs in the user's browser and documents with their applications, and
// the application's life cycle. Each is an interface with a sim implementation
// that records what it was asked and answers from a script, for tests and
// headless runs; the workspace also has a real one that calls the desktop's
// opener program. Child processes are started here too (never through a shell).
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kw {

struct AlertRequest {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // the first is the default button
};

class AlertPanels {
 public:
  virtual ~AlertPanels() = default;
  // Shows a modal alert; answers the index of the button pressed.
  virtual size_t runAlert(const AlertRequest& alert) = 0;
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  // Opens a URL with the user's default browser; answers whether it was handed over.
  virtual bool openURL(const std::string& url) = 0;
  // Opens a file or folder with its default application; answers whether it was opened.
  virtual bool openFile(const std::string& path) { (void)path; return false; }
  // Shows the item selected in a file viewer window.
  virtual bool selectFile(const std::string& path) { (void)path; return false; }
};

class ApplicationLifecycle {
 public:
  virtual ~ApplicationLifecycle() = default;
  virtual void terminate() = 0;
  virtual void showMenuBar() = 0;
  virtual std::filesystem::path bundlePath() const = 0;
};

// Records every alert and answers with the scripted button indexes in order
// (0, the default button, once the script runs out or for a scripted index
// that names no button of the alert).
class SimAlertPanels : public AlertPanels {
 public:
  size_t runAlert(const AlertRequest& alert) override;
  std::vector<AlertRequest> shown;
  std::deque<size_t> answers;
};

// Records every URL it is asked to open; an empty URL is not handed over.
// Files are recorded too and "open" when they exist.
class SimWorkspace : public Workspace {
 public:
  bool openURL(const std::string& url) override;
  bool openFile(const std::string& path) override;
  bool selectFile(const std::string& path) override;
  std::vector<std::string> opened;
  std::vector<std::string> openedFiles;
  std::vector<std::string> selectedFiles;
};

// The real workspace: runs the desktop's opener (`xdg-open`, found on PATH)
// as a child process with the URL or path and waits for it; an item counts as
// opened when the opener exits with status 0. A file viewer cannot be asked
// to select an item, so selectFile opens the folder that holds it.
class OpenerWorkspace : public Workspace {
 public:
  explicit OpenerWorkspace(std::string opener = "xdg-open") : opener_(std::move(opener)) {}
  bool openURL(const std::string& url) override;
  bool openFile(const std::string& path) override;
  bool selectFile(const std::string& path) override;

 private:
  bool runOpener(const std::string& item) const;
  std::string opener_;
};

// Starts `program` as a child process with argv[0] = program and the
// arguments after it, without a shell: a path, or with `searchPath` a name
// looked up on PATH. Standard input comes from the file `input` when given
// (else it is inherited). Answers the process id, or none when nothing started.
std::optional<int> spawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                                bool searchPath = false, const std::filesystem::path& input = {});
// Waits for a child process to end: its exit status, or -1 when it did not
// exit normally or is not a child.
int waitForProcess(int pid);

class SimApplication : public ApplicationLifecycle {
 public:
  explicit SimApplication(std::filesystem::path bundle = {}) : bundle_(std::move(bundle)) {}
  void terminate() override { ++terminations; }
  void showMenuBar() override { ++menuBarShown; }
  std::filesystem::path bundlePath() const override { return bundle_; }
  int terminations = 0;
  int menuBarShown = 0;

 private:
  std::filesystem::path bundle_;
};

}  // namespace kw
