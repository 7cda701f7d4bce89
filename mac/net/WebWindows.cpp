// The web page windows of the application and the sim web views' page
// fetcher: see WebWindows.h.
#include "mac/net/WebWindows.h"

#include <algorithm>
#include <any>
#include <fstream>
#include <iterator>
#include <utility>

#include "mac/net/URL.h"
#include "mac/platform/RunLoop.h"

namespace kw {

namespace {

constexpr long kMaxRedirects = 20;

size_t appendBody(char* data, size_t size, size_t count, void* userData) {
  static_cast<std::string*>(userData)->append(data, size * count);
  return size * count;
}

FetchedPage readFile(const std::string& url) {
  FetchedPage page;
  const std::optional<URL> parsed = URL::parse(url);
  std::ifstream in(parsed ? parsed->path() : std::string(), std::ios::binary);
  if (!parsed || !in) {
    page.error = "cannot read " + url;
    return page;
  }
  page.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  page.ok = !in.bad();
  return page;
}

}  // namespace

// --- NetPageFetcher -----------------------------------------------------------

NetPageFetcher::~NetPageFetcher() {
  while (!pending_.empty()) cancel(pending_.begin()->first);
}

PageFetcher::Ticket NetPageFetcher::fetch(const std::string& url, Done done) {
  const Ticket ticket = ++lastTicket_;
  auto pending = std::make_unique<Pending>();
  pending->done = std::move(done);
  const std::optional<URL> parsed = URL::parse(url);
  const std::string scheme = parsed ? parsed->scheme() : std::string();
  if (scheme == "http" || scheme == "https") {
    CURL* easy = curl_easy_init();
    pending->easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, parsed->absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &pending->body);
    const bool added = curl_.add(easy, [this, ticket, easy](CURLcode result) {
      const auto it = pending_.find(ticket);
      if (it == pending_.end()) return;
      FetchedPage page;
      page.ok = result == CURLE_OK;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &page.status);
      const char* type = nullptr;
      if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) page.contentType = type;
      if (!page.ok) page.error = curl_easy_strerror(result);
      page.body = std::move(it->second->body);
      finish(ticket, page);
    });
    if (added) {
      pending_.emplace(ticket, std::move(pending));
      return ticket;
    }
  }
  // Everything else answers from the run loop, as a network load would.
  FetchedPage page;
  if (url == "about:blank") {
    page.ok = true;
  } else if (scheme == "file") {
    page = readFile(url);
  } else {
    page.error = "unsupported URL " + url;
  }
  pending->timer = curl_.runLoop().performAfterDelay(0, [this, ticket, page] { finish(ticket, page); });
  pending_.emplace(ticket, std::move(pending));
  return ticket;
}

void NetPageFetcher::finish(Ticket ticket, const FetchedPage& page) {
  const auto it = pending_.find(ticket);
  if (it == pending_.end()) return;
  std::unique_ptr<Pending> pending = std::move(it->second);
  pending_.erase(it);
  if (pending->easy != nullptr) curl_easy_cleanup(pending->easy);
  // Last: the receiver may start another fetch or let this fetcher go.
  if (pending->done) pending->done(page);
}

void NetPageFetcher::cancel(Ticket ticket) {
  const auto it = pending_.find(ticket);
  if (it == pending_.end()) return;
  std::unique_ptr<Pending> pending = std::move(it->second);
  pending_.erase(it);
  if (pending->easy != nullptr) {
    curl_.remove(pending->easy);
    curl_easy_cleanup(pending->easy);
  }
  if (pending->timer != 0) curl_.runLoop().cancel(pending->timer);
}

// --- WebWindowManager ---------------------------------------------------------

WebWindowManager::WebWindowManager(WebWindowServices services)
    : services_(std::move(services)), curl_(*services_.runLoop), fetcher_(curl_) {
  services_.closer = this;
  if (!services_.makeWebView) {
    services_.makeWebView = [this](const DesktopRect& frame) { return std::make_shared<SimWebView>(fetcher_, frame); };
  }
  if (services_.notifications != nullptr) {
    // The close command takes a page off the list: it goes 0.1 s later, as
    // after its close button.
    removeObserver_ = services_.notifications->addObserver(
        notification::kRemoveWebWindowFromList, [this](const std::any& object) {
          const auto* window = std::any_cast<PluginWindow*>(&object);
          webKitWindow* page = window != nullptr ? owned(*window) : nullptr;
          if (page != nullptr && !page->isClosing()) page->closeLater();
        });
  }
}

WebWindowManager::~WebWindowManager() {
  if (services_.notifications != nullptr) services_.notifications->removeObserver(removeObserver_);
  while (!windows_.empty()) windows_.pop_back();
}

uint32_t WebWindowManager::createWebWindow(const WebWindowArgs& args) {
  windows_.push_back(std::make_unique<webKitWindow>(services_));
  return windows_.back()->initWithWebWindow(args);
}

void WebWindowManager::closeThisWindow(PluginWindow* window) {
  const auto it = std::find_if(windows_.begin(), windows_.end(), [window](const auto& w) { return w.get() == window; });
  if (it == windows_.end()) return;
  // Out of the list first: the teardown posts notifications.
  std::unique_ptr<webKitWindow> page = std::move(*it);
  windows_.erase(it);
  page.reset();
}

webKitWindow* WebWindowManager::owned(const PluginWindow* window) const {
  for (const auto& w : windows_) {
    if (w.get() == window) return w.get();
  }
  return nullptr;
}

}  // namespace kw
