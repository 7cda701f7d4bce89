// Desktop services the plug-in host needs: alert panels, the workspace that
// opens URLs in the user's browser, and the application's life cycle. Each is
// an interface with a sim implementation that records what it was asked and
// answers from a script, for tests and headless runs.
#pragma once

#include <deque>
#include <filesystem>
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
class SimWorkspace : public Workspace {
 public:
  bool openURL(const std::string& url) override;
  std::vector<std::string> opened;
};

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
