// The sim web view: loads pages through a page fetcher, keeps the page's text
// and title, and draws a plain page (white, with its title). It runs no real
// script engine: it understands the few script forms a host and a test page
// use (alert, confirm, window.open, document.title, the location), runs the
// <script> elements of a loaded page with them, and can follow the page's
// links as a click would.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/WebView.h"

namespace kw {

// What a page fetch brought.
struct FetchedPage {
  bool ok = false;
  long status = 0;          // the HTTP status; 0 for other schemes
  std::string contentType;  // as the server named it, if it did
  std::string body;
  std::string error;        // why the fetch failed
};

// Fetches pages for sim web views. `done` runs later, from the run loop,
// never inside fetch(); a cancelled fetch never calls it.
class PageFetcher {
 public:
  using Ticket = uint64_t;
  using Done = std::function<void(const FetchedPage& page)>;
  virtual ~PageFetcher() = default;
  virtual Ticket fetch(const std::string& url, Done done) = 0;
  virtual void cancel(Ticket ticket) = 0;
};

class SimWebView final : public WebView {
 public:
  // A link of the loaded page: <a href="..." target="...">.
  struct Link {
    std::string href;
    std::string target;
  };

  SimWebView(PageFetcher& fetcher, const DesktopRect& frame, std::string frameName = {}, std::string groupName = {});
  ~SimWebView() override;

  std::string mainFrameURL() const override { return url_; }
  std::string title() const override { return title_; }
  bool isLoading() const override { return ticket_.has_value(); }

  // The last page loaded (none before the first load ends or after a failure).
  const std::optional<FetchedPage>& page() const { return page_; }
  const std::vector<Link>& links() const { return links_; }
  // A click on the page's link: a link with a target other than the page's
  // own frames asks the delegate for a new window; any other loads here.
  void clickLink(size_t index);

  void drawRect(DrawContext& context, const DesktopRect& dirtyRect) override;
  bool isOpaque() const override { return true; }

 protected:
  void startLoading(const std::string& url) override;
  void cancelLoading() override;
  std::string evaluate(const std::string& script) override;

 private:
  void pageArrived(const FetchedPage& page);
  std::string runStatement(const std::string& statement);
  std::string resolved(const std::string& href) const;

  PageFetcher& fetcher_;
  std::string url_;
  std::string title_;
  std::optional<PageFetcher::Ticket> ticket_;
  std::optional<FetchedPage> page_;
  std::vector<Link> links_;
};

// The text between the first <title> and </title> (tags in any letter case),
// white space collapsed; "" without one.
std::string pageTitle(const std::string& html);

}  // namespace kw
