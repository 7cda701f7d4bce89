// The URL value type over libcurl's URL API: see URL.h.
#include "mac/net/URL.h"

#include <curl/curl.h>

#include <memory>

#include "mac/commands/PercentEscaping.h"
#include "mac/commands/TextBytes.h"

namespace kw {
namespace {

struct CurlUrlDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

constexpr unsigned kParseFlags = CURLU_NON_SUPPORT_SCHEME;

// One part of the parsed URL; none when curl has no such part.
std::optional<std::string> urlPart(CURLU* handle, CURLUPart part) {
  char* raw = nullptr;
  if (curl_url_get(handle, part, &raw, 0) != CURLUE_OK || raw == nullptr) {
    curl_free(raw);
    return std::nullopt;
  }
  CurlString owned(raw);
  return std::string(owned.get());
}

bool hasSpaceOrControl(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string escapeNonASCII(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      appendPercentEscape(out, c);
    }
  }
  return out;
}

std::string_view withoutFragment(std::string_view text) { return text.substr(0, text.find('#')); }

}  // namespace

std::optional<URL> URL::parse(std::string_view text, const URL* base) {
  if (hasSpaceOrControl(text)) return std::nullopt;
  std::string reference = escapeNonASCII(text);
  if (base != nullptr && (reference.empty() || reference.front() == '#')) {
    // Same-document references: keep the whole base, replace its fragment.
    reference = std::string(withoutFragment(base->absolute_)) + reference;
    base = nullptr;
  }

  CurlUrl handle(curl_url());
  if (!handle) return std::nullopt;
  if (base != nullptr && curl_url_set(handle.get(), CURLUPART_URL, base->absolute_.c_str(), kParseFlags) != CURLUE_OK) {
    return std::nullopt;
  }
  if (curl_url_set(handle.get(), CURLUPART_URL, reference.c_str(), kParseFlags) != CURLUE_OK) return std::nullopt;

  URL url;
  url.scheme_ = urlPart(handle.get(), CURLUPART_SCHEME).value_or("");
  url.host_ = urlPart(handle.get(), CURLUPART_HOST).value_or("");
  url.path_ = urlPart(handle.get(), CURLUPART_PATH).value_or("/");
  if (url.isFileURL()) {
    // curl 7.88 writes "file:///" back wrongly; a file URL is its path anyway.
    url.absolute_ = "file://" + url.path_;
    if (auto query = urlPart(handle.get(), CURLUPART_QUERY)) url.absolute_.append("?").append(*query);
    if (auto fragment = urlPart(handle.get(), CURLUPART_FRAGMENT)) url.absolute_.append("#").append(*fragment);
  } else {
    auto whole = urlPart(handle.get(), CURLUPART_URL);
    if (!whole) return std::nullopt;
    url.absolute_ = std::move(*whole);
  }
  if (url.scheme_.empty()) return std::nullopt;
  return url;
}

std::string URL::path() const { return stringByRemovingPercentEscapes(path_); }

}  // namespace kw
