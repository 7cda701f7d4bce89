// The platform web view: a view that shows a web page. It loads a URL in its
// main frame, stops loading, and evaluates a script in the page; what the page
// asks of its host (a JavaScript alert or confirmation, a new window, the end
// of loading) comes back through its delegate. Every request made of the view
// is recorded, so that what a web page window asked for can be checked on any
// backend.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mac/platform/View.h"

namespace kw {

class WebView;

// The web view's UI delegate, policy delegate and progress observer in one.
class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  // webView:runJavaScriptAlertPanelWithMessage:
  virtual void runJavaScriptAlertPanel(WebView& view, const std::string& message) { (void)view; (void)message; }
  // webView:runJavaScriptConfirmPanelWithMessage:: true for "OK".
  virtual bool runJavaScriptConfirmPanel(WebView& view, const std::string& message) {
    (void)view;
    (void)message;
    return false;
  }
  // webView:decidePolicyForNewWindowAction:request:newFrameName:decisionListener::
  // the page asks for `url` in a new window named `frameName`. The view opens
  // no window of its own.
  virtual void newWindowRequested(WebView& view, const std::string& url, const std::string& frameName) {
    (void)view;
    (void)url;
    (void)frameName;
  }
  // WebViewProgressFinishedNotification: a load ended (loaded or failed).
  virtual void progressFinished(WebView& view) { (void)view; }
};

// One thing the view was asked to do.
struct WebViewRequest {
  enum class Kind { Load, Stop, Script };
  Kind kind = Kind::Load;
  std::string text;  // the URL loaded or the script run
  friend bool operator==(const WebViewRequest&, const WebViewRequest&) = default;
};

class WebView : public View {
 public:
  // initWithFrame:frameName:groupName:
  WebView(const DesktopRect& frame, std::string frameName, std::string groupName)
      : View(frame), frameName_(std::move(frameName)), groupName_(std::move(groupName)) {}

  // The main frame's loadRequest: with the URL's absolute text.
  void loadURL(const std::string& url) {
    requests_.push_back({WebViewRequest::Kind::Load, url});
    startLoading(url);
  }
  // The main frame's stopLoading.
  void stopLoading() {
    requests_.push_back({WebViewRequest::Kind::Stop, {}});
    cancelLoading();
  }
  // stringByEvaluatingJavaScriptFromString:: the result as text ("" for none).
  std::string stringByEvaluatingJavaScript(const std::string& script) {
    requests_.push_back({WebViewRequest::Kind::Script, script});
    return evaluate(script);
  }

  void setDelegate(WebViewDelegate* delegate) { delegate_ = delegate; }
  WebViewDelegate* delegate() const { return delegate_; }
  const std::vector<WebViewRequest>& requests() const { return requests_; }
  const std::string& frameName() const { return frameName_; }
  const std::string& groupName() const { return groupName_; }

  // The main frame's URL (the last one asked for), the page title, and
  // whether a load is under way.
  virtual std::string mainFrameURL() const = 0;
  virtual std::string title() const = 0;
  virtual bool isLoading() const = 0;

 protected:
  virtual void startLoading(const std::string& url) = 0;
  virtual void cancelLoading() = 0;
  virtual std::string evaluate(const std::string& script) = 0;

 private:
  std::string frameName_, groupName_;
  WebViewDelegate* delegate_ = nullptr;
  std::vector<WebViewRequest> requests_;
};

// Makes the web views of an application (the backend's, or the sim's).
using WebViewFactory = std::function<std::shared_ptr<WebView>(const DesktopRect& frame)>;

}  // namespace kw
