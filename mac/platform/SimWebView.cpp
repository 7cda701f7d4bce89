// The sim web view: see SimWebView.h.
#include "mac/platform/SimWebView.h"

#include <gdfontmb.h>

#include <algorithm>
#include <cctype>
#include <utility>

namespace kw {

namespace {

constexpr double kTitleStripHeight = 24;
constexpr int32_t kTextInset = 6;

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string trimmed(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && isSpace(text[first])) ++first;
  while (last > first && isSpace(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string collapsedWhiteSpace(std::string_view text) {
  std::string out;
  bool space = false;
  for (const char c : text) {
    if (isSpace(c)) {
      space = true;
      continue;
    }
    if (space && !out.empty()) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

// The bodies of the elements named `tag` (`lower` is the page in lower case).
std::vector<std::string> elementBodies(const std::string& html, const std::string& lower, const std::string& tag) {
  std::vector<std::string> bodies;
  const std::string open = "<" + tag;
  const std::string close = "</" + tag;
  size_t at = 0;
  while ((at = lower.find(open, at)) != std::string::npos) {
    const size_t after = at + open.size();
    if (after < lower.size() && lower[after] != '>' && !isSpace(lower[after])) {
      at = after;
      continue;
    }
    const size_t start = lower.find('>', after);
    if (start == std::string::npos) break;
    const size_t end = lower.find(close, start + 1);
    if (end == std::string::npos) break;
    bodies.push_back(html.substr(start + 1, end - start - 1));
    at = end + close.size();
  }
  return bodies;
}

// The value of attribute `name` in a tag's text (quoted or bare), or "".
std::string attribute(const std::string& tag, const std::string& name) {
  const std::string lower = lowered(tag);
  size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    const bool startsWord = at > 0 && isSpace(lower[at - 1]);
    size_t i = at + name.size();
    while (i < lower.size() && isSpace(lower[i])) ++i;
    if (!startsWord || i >= lower.size() || lower[i] != '=') {
      at += name.size();
      continue;
    }
    ++i;
    while (i < lower.size() && isSpace(lower[i])) ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      const size_t end = tag.find(tag[i], i + 1);
      return end == std::string::npos ? std::string() : tag.substr(i + 1, end - i - 1);
    }
    size_t end = i;
    while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '>') ++end;
    return tag.substr(i, end - i);
  }
  return {};
}

std::vector<SimWebView::Link> pageLinks(const std::string& html) {
  std::vector<SimWebView::Link> links;
  const std::string lower = lowered(html);
  size_t at = 0;
  while ((at = lower.find("<a", at)) != std::string::npos) {
    const size_t end = lower.find('>', at);
    if (end == std::string::npos) break;
    if (at + 2 < lower.size() && isSpace(lower[at + 2])) {
      const std::string tag = html.substr(at, end - at);
      links.push_back({attribute(tag, "href"), attribute(tag, "target")});
    }
    at = end;
  }
  return links;
}

// Splits a script at the semicolons outside string literals.
std::vector<std::string> statements(const std::string& script) {
  std::vector<std::string> out;
  std::string current;
  char quote = 0;
  for (size_t i = 0; i < script.size(); ++i) {
    const char c = script[i];
    current += c;
    if (quote != 0) {
      if (c == '\\' && i + 1 < script.size()) {
        current += script[++i];
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      current.pop_back();
      out.push_back(trimmed(current));
      current.clear();
    }
  }
  out.push_back(trimmed(current));
  std::erase_if(out, [](const std::string& s) { return s.empty(); });
  return out;
}

// A whole string literal ('...' or "..." with backslash escapes), or none.
std::optional<std::string> stringLiteral(std::string_view text) {
  const std::string t = trimmed(text);
  if (t.size() < 2 || (t[0] != '"' && t[0] != '\'') || t.back() != t[0]) return std::nullopt;
  std::string value;
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    if (t[i] == '\\' && i + 2 < t.size()) {
      const char next = t[++i];
      value += next == 'n' ? '\n' : next;
    } else if (t[i] == t[0]) {
      return std::nullopt;  // two literals, not one
    } else {
      value += t[i];
    }
  }
  return value;
}

// The string arguments of `name(...)`; none when the statement is not such a
// call or an argument is not a string literal.
std::optional<std::vector<std::string>> callArguments(const std::string& statement, std::string_view name) {
  if (!statement.starts_with(name)) return std::nullopt;
  const std::string rest = trimmed(std::string_view(statement).substr(name.size()));
  if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return std::nullopt;
  std::vector<std::string> arguments;
  std::string current;
  char quote = 0;
  const std::string inner = rest.substr(1, rest.size() - 2);
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (quote == 0 && c == ',') {
      arguments.push_back(current);
      current.clear();
      continue;
    }
    current += c;
    if (quote != 0 && c == '\\' && i + 1 < inner.size()) {
      current += inner[++i];
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    }
  }
  if (!trimmed(current).empty() || !arguments.empty()) arguments.push_back(current);
  std::vector<std::string> values;
  for (const std::string& argument : arguments) {
    std::optional<std::string> value = stringLiteral(argument);
    if (!value) return std::nullopt;
    values.push_back(std::move(*value));
  }
  return values;
}

bool isLocationExpression(const std::string& expression) {
  static const char* const kNames[] = {"window.location", "window.location.href", "location", "location.href",
                                       "document.URL",    "top.location",         "top.location.href"};
  return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* name) { return expression == name; });
}

}  // namespace

std::string pageTitle(const std::string& html) {
  const std::vector<std::string> titles = elementBodies(html, lowered(html), "title");
  return titles.empty() ? std::string() : collapsedWhiteSpace(titles.front());
}

SimWebView::SimWebView(PageFetcher& fetcher, const DesktopRect& frame, std::string frameName, std::string groupName)
    : WebView(frame, std::move(frameName), std::move(groupName)), fetcher_(fetcher) {}

SimWebView::~SimWebView() {
  if (ticket_) fetcher_.cancel(*ticket_);
}

void SimWebView::startLoading(const std::string& url) {
  if (ticket_) fetcher_.cancel(*ticket_);
  url_ = url;
  ticket_ = fetcher_.fetch(url, [this](const FetchedPage& page) { pageArrived(page); });
}

void SimWebView::cancelLoading() {
  if (!ticket_) return;
  fetcher_.cancel(*ticket_);
  ticket_.reset();
  if (WebViewDelegate* d = delegate()) d->progressFinished(*this);
}

void SimWebView::pageArrived(const FetchedPage& page) {
  ticket_.reset();
  if (page.ok) {
    page_ = page;
    title_ = pageTitle(page.body);
    links_ = pageLinks(page.body);
  } else {
    page_.reset();
    title_.clear();
    links_.clear();
  }
  setNeedsDisplay();
  // The page's scripts run once it is in, in document order.
  if (page.ok) {
    for (const std::string& script : elementBodies(page.body, lowered(page.body), "script")) evaluate(script);
  }
  if (WebViewDelegate* d = delegate()) d->progressFinished(*this);
}

void SimWebView::clickLink(size_t index) {
  if (index >= links_.size()) return;
  const Link link = links_[index];
  const std::string target = lowered(link.target);
  if (!target.empty() && target != "_self" && target != "_top" && target != "_parent") {
    if (WebViewDelegate* d = delegate()) d->newWindowRequested(*this, resolved(link.href), link.target);
    return;
  }
  loadURL(resolved(link.href));
}

// A link's URL: absolute as it is, otherwise beside the page (a leading "/"
// from the page's scheme and host).
std::string SimWebView::resolved(const std::string& href) const {
  if (href.find("://") != std::string::npos || href.starts_with("about:") || href.starts_with("javascript:")) {
    return href;
  }
  const size_t scheme = url_.find("://");
  if (scheme == std::string::npos) return href;
  if (href.starts_with("/")) {
    const size_t pathStart = url_.find('/', scheme + 3);
    return (pathStart == std::string::npos ? url_ : url_.substr(0, pathStart)) + href;
  }
  const size_t slash = url_.rfind('/');
  return url_.substr(0, slash + 1) + href;
}

std::string SimWebView::evaluate(const std::string& script) {
  std::string result;
  for (const std::string& statement : statements(script)) result = runStatement(statement);
  return result;
}

std::string SimWebView::runStatement(const std::string& statement) {
  WebViewDelegate* d = delegate();
  if (auto arguments = callArguments(statement, "alert"); arguments && arguments->size() == 1) {
    if (d != nullptr) d->runJavaScriptAlertPanel(*this, arguments->front());
    return {};
  }
  if (auto arguments = callArguments(statement, "confirm"); arguments && arguments->size() == 1) {
    const bool ok = d != nullptr && d->runJavaScriptConfirmPanel(*this, arguments->front());
    return ok ? "true" : "false";
  }
  for (const std::string_view open : {"window.open", "open"}) {
    if (auto arguments = callArguments(statement, open); arguments && !arguments->empty()) {
      const std::string name = arguments->size() > 1 ? (*arguments)[1] : "_blank";
      if (d != nullptr) d->newWindowRequested(*this, resolved(arguments->front()), name);
      return {};
    }
  }
  // "x + ''": the value as text, which every value here already is.
  std::string expression = statement;
  for (const std::string_view suffix : {"+\"\"", "+''"}) {
    if (expression.ends_with(suffix)) expression = trimmed(expression.substr(0, expression.size() - suffix.size()));
  }
  if (expression == "document.title") return title_;
  if (isLocationExpression(expression)) return url_;
  if (expression.starts_with("document.title")) {
    const std::string rest = trimmed(std::string_view(expression).substr(14));
    if (rest.starts_with("=")) {
      if (std::optional<std::string> value = stringLiteral(std::string_view(rest).substr(1))) {
        title_ = *value;
        setNeedsDisplay();
        return title_;
      }
    }
  }
  if (std::optional<std::string> value = stringLiteral(expression)) return *value;
  return {};
}

void SimWebView::drawRect(DrawContext& context, const DesktopRect& dirtyRect) {
  (void)dirtyRect;
  const DesktopRect all = bounds();
  context.fill(all, RGBAColor::white());
  const DesktopRect strip{{0, all.size.height - kTitleStripHeight}, {all.size.width, kTitleStripHeight}};
  context.fill(strip, RGBAColor{0.9, 0.9, 0.9, 1});
  // The title in the strip, clipped to the view.
  int32_t left = 0, top = 0, width = 0, height = 0;
  context.toRaster(all, left, top, width, height);
  const gdFontPtr font = gdFontGetMediumBold();
  const int32_t textTop = top + (static_cast<int32_t>(kTitleStripHeight) - font->h) / 2;
  int32_t x = left + kTextInset;
  for (const char c : title_) {
    const int index = static_cast<unsigned char>(c) - font->offset;
    if (index >= 0 && index < font->nchars) {
      const char* bits = font->data + static_cast<ptrdiff_t>(index) * font->w * font->h;
      for (int32_t row = 0; row < font->h; ++row) {
        for (int32_t column = 0; column < font->w; ++column) {
          const int32_t px = x + column;
          const int32_t py = textTop + row;
          if (bits[row * font->w + column] && px < left + width && py < top + height) {
            context.target().fill(px, py, 1, 1, RGBAColor::black());
          }
        }
      }
    }
    x += font->w;
  }
}

}  // namespace kw
