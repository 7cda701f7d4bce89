// The on-disk URL cache. An entry file holds a text head, one item a line:
//   KWURLCACHE 1
//   URL: <url>
//   Status: <status>
//   MIME: <content type>
//   Cached Date: <seconds since 1970>
//   Header: <Name>: <value>      (one line per field)
// then an empty line and the body bytes. Entries are written to a temporary
// file and renamed into place, so a reader never sees half an entry.
#include "mac/net/UrlCache.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "mac/net/StringExtras.h"

namespace kw {

namespace {

constexpr std::string_view kMagic = "KWURLCACHE 1";

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> field(const HeaderFields& headers, const char* name) {
  const auto it = headers.find(name);
  if (it == headers.end()) return std::nullopt;
  return it->second;
}

// A date of an HTTP header in seconds since 1970; none when unreadable.
std::optional<int64_t> dateOf(const HeaderFields& headers, const char* name) {
  const std::optional<std::string> text = field(headers, name);
  if (!text) return std::nullopt;
  const time_t date = curl_getdate(text->c_str(), nullptr);
  if (date < 0) return std::nullopt;
  return static_cast<int64_t>(date);
}

struct CacheControl {
  bool noStore = false;
  bool noCache = false;
  std::optional<int64_t> maxAge;
};

CacheControl cacheControlOf(const HeaderFields& headers) {
  CacheControl control;
  const std::optional<std::string> text = field(headers, "Cache-Control");
  if (!text) {
    if (lowered(field(headers, "Pragma").value_or("")).find("no-cache") != std::string::npos) control.noCache = true;
    return control;
  }
  std::stringstream parts(*text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    const std::string directive = lowered(stringByTrimmingWhitespace(part));
    if (directive == "no-store") control.noStore = true;
    if (directive == "no-cache") control.noCache = true;
    if (directive.starts_with("max-age=")) {
      char* end = nullptr;
      const long long seconds = std::strtoll(directive.c_str() + 8, &end, 10);
      if (end != directive.c_str() + 8) control.maxAge = seconds;
    }
  }
  return control;
}

uint64_t fnv1a(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

int64_t currentCacheDate() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::filesystem::path UrlCache::defaultFolder(std::string_view bundleIdentifier) {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == 0) return {};
  const std::string name = bundleIdentifier.empty() ? std::string("zivra") : std::string(bundleIdentifier);
  return std::filesystem::path(home) / "Library" / "Caches" / name / "URLCache";
}

bool UrlCache::mayStore(std::string_view url, std::string_view method, long status, const HeaderFields& headers) {
  // A secure answer never goes to the disk; only plain http is kept at all.
  if (!hasCaseInsensitivePrefix(url, "http://")) return false;
  if (method != "GET" || status != 200) return false;
  return !cacheControlOf(headers).noStore;
}

bool UrlCache::isFresh(const CachedResponse& entry, int64_t now) {
  const CacheControl control = cacheControlOf(entry.headers);
  if (control.noCache) return false;
  const int64_t age = now - entry.cachedDate;
  if (control.maxAge) return age < *control.maxAge;
  const int64_t served = dateOf(entry.headers, "Date").value_or(entry.cachedDate);
  if (field(entry.headers, "Expires")) {
    const std::optional<int64_t> expires = dateOf(entry.headers, "Expires");
    return expires && age < *expires - served;
  }
  if (const std::optional<int64_t> modified = dateOf(entry.headers, "Last-Modified")) {
    return age < (served - *modified) / 10;
  }
  return false;
}

bool UrlCache::hasValidator(const CachedResponse& entry) {
  return entry.headers.count("Etag") != 0 || entry.headers.count("Last-Modified") != 0;
}

std::filesystem::path UrlCache::entryPath(std::string_view url) const {
  char name[32];
  std::snprintf(name, sizeof(name), "%016llx.entry", static_cast<unsigned long long>(fnv1a(url)));
  return folder_ / name;
}

bool UrlCache::store(const CachedResponse& entry) const {
  if (folder_.empty() || entry.body.size() > kLargestBody) return false;
  if (entry.url.find_first_of("\r\n") != std::string::npos) return false;
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) return false;

  std::string head = std::string(kMagic) + "\nURL: " + entry.url + "\nStatus: " + std::to_string(entry.status) +
                     "\nMIME: " + entry.mimeType + "\nCached Date: " + std::to_string(entry.cachedDate) + "\n";
  for (const auto& [name, value] : entry.headers) {
    if (name.find_first_of("\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos) continue;
    head += "Header: " + name + ": " + value + "\n";
  }
  head += "\n";

  const std::filesystem::path target = entryPath(entry.url);
  const std::filesystem::path temporary = target.string() + "." + std::to_string(getpid()) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    out.write(reinterpret_cast<const char*>(entry.body.data()), static_cast<std::streamsize>(entry.body.size()));
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, target, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

std::optional<CachedResponse> UrlCache::lookup(std::string_view url) const {
  if (folder_.empty()) return std::nullopt;
  std::ifstream in(entryPath(url), std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return std::nullopt;
  CachedResponse entry;
  while (std::getline(in, line) && !line.empty()) {
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, colon);
    const std::string value = line.substr(colon + 2);
    if (key == "URL") {
      entry.url = value;
    } else if (key == "Status") {
      entry.status = std::strtol(value.c_str(), nullptr, 10);
    } else if (key == "MIME") {
      entry.mimeType = value;
    } else if (key == "Cached Date") {
      entry.cachedDate = std::strtoll(value.c_str(), nullptr, 10);
    } else if (key == "Header") {
      const size_t split = value.find(": ");
      if (split != std::string::npos) entry.headers[value.substr(0, split)] = value.substr(split + 2);
    }
  }
  // Another URL with the same hash is a miss.
  if (entry.url != url) return std::nullopt;
  entry.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return entry;
}

void UrlCache::remove(std::string_view url) const {
  if (folder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(entryPath(url), ignored);
}

}  // namespace kw
