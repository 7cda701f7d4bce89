// The application's web page windows (createMediaWindow,
// zWindow.embedMediaWindow): made, kept and taken down here. A page leaves
// the web window list by its close button or by the close command; 0.1 s
// later it is torn down. Also the page fetcher of the sim web views: file
// URLs read from disk, http and https through libcurl on the run loop.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mac/commands/families/FamilyServices.h"
#include "mac/net/CurlDriver.h"
#include "mac/net/webKitWindow.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/SimWebView.h"

namespace kw {

class NetPageFetcher final : public PageFetcher {
 public:
  explicit NetPageFetcher(CurlDriver& curl) : curl_(curl) {}
  // Fetches still running are dropped without their `done`.
  ~NetPageFetcher() override;
  NetPageFetcher(const NetPageFetcher&) = delete;
  NetPageFetcher& operator=(const NetPageFetcher&) = delete;

  // "about:blank" is an empty page; file URLs are read from disk; http and
  // https go through libcurl (redirects followed); other schemes fail.
  Ticket fetch(const std::string& url, Done done) override;
  void cancel(Ticket ticket) override;

 private:
  struct Pending {
    Done done;
    CURL* easy = nullptr;      // an http(s) transfer ...
    RunLoop::TimerId timer = 0;  // ... or the run loop's answer
    std::string body;
  };
  void finish(Ticket ticket, const FetchedPage& page);

  CurlDriver& curl_;
  std::map<Ticket, std::unique_ptr<Pending>> pending_;
  Ticket lastTicket_ = 0;
};

class WebWindowManager final : public WebWindows, public WindowCloser {
 public:
  // Without a web view factory in `services`, pages get sim web views that
  // fetch through a NetPageFetcher of the manager's own.
  explicit WebWindowManager(WebWindowServices services);
  // Tears down every page still open, the newest first.
  ~WebWindowManager() override;
  WebWindowManager(const WebWindowManager&) = delete;
  WebWindowManager& operator=(const WebWindowManager&) = delete;

  uint32_t createWebWindow(const WebWindowArgs& args) override;
  // closeThisWindow:: tears the page down if it is still one of ours.
  void closeThisWindow(PluginWindow* window) override;

  // The open pages, in the order they were made.
  const std::vector<std::unique_ptr<webKitWindow>>& windows() const { return windows_; }
  webKitWindow* owned(const PluginWindow* window) const;

 private:
  WebWindowServices services_;
  CurlDriver curl_;
  NetPageFetcher fetcher_;
  std::vector<std::unique_ptr<webKitWindow>> windows_;
  NotificationCenter::ObserverId removeObserver_ = 0;
};

}  // namespace kw
