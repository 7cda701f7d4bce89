// Sim desktop services: alert panels answering from a script and a workspace
// that records the URLs it is asked to open.
#include "mac/platform/DesktopServices.h"

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

}  // namespace kw
