// The on-disk cache of URL loading: one file per URL in a folder of its own.
//
// Where it lives: the application's caches folder,
//   $HOME/Library/Caches/<CFBundleIdentifier, or "zivra">/URLCache
// (`defaultFolder`); the folder is made when the first response is stored.
// What is stored: complete "200" answers to GET requests over http (never
// https, never file URLs, never an answer marked "Cache-Control: no-store",
// nothing larger than kLargestBody). Each entry keeps the answer's status,
// content type and header fields, its body, and the "Cached Date": the time
// it was stored, in seconds since 1970.
//
// When an entry answers a request (the protocol's default cache policy): it
// is fresh, and answers without the network, for "max-age" seconds from its
// Cached Date, or else until its "Expires" date, or else (with a
// "Last-Modified" date) for a tenth of its age at the time it was stored;
// "no-cache" makes it never fresh. A stale entry with a validator ("ETag" or
// "Last-Modified") is checked with a conditional request; a "304" answer
// lets the entry answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "mac/net/HeaderFields.h"
#include "mac/net/TextEncoding.h"

namespace kw {

struct CachedResponse {
  std::string url;
  long status = 200;
  std::string mimeType;
  HeaderFields headers;  // capitalised names, as parseRFC822HeaderFields gives them
  Bytes body;
  int64_t cachedDate = 0;  // "Cached Date": seconds since 1970 when stored
};

class UrlCache {
 public:
  static constexpr size_t kLargestBody = 32u << 20;

  explicit UrlCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // $HOME/Library/Caches/<bundle identifier>/URLCache ("zivra" for an empty
  // identifier); empty when there is no home folder.
  static std::filesystem::path defaultFolder(std::string_view bundleIdentifier);

  // The caching policy: an answer to a GET of `url` with `status` and
  // `headers` may be stored. Only http URLs (any letter case of the scheme),
  // status 200, without "no-store"; https is never stored.
  static bool mayStore(std::string_view url, std::string_view method, long status, const HeaderFields& headers);

  // Fresh at `now` (seconds since 1970) as described above.
  static bool isFresh(const CachedResponse& entry, int64_t now);
  // The entry carries "ETag" or "Last-Modified".
  static bool hasValidator(const CachedResponse& entry);

  // Writes the entry (replacing an older one of its URL); false when it is not
  // written (too large, or the folder cannot be written).
  bool store(const CachedResponse& entry) const;
  // The stored entry of exactly this URL text.
  std::optional<CachedResponse> lookup(std::string_view url) const;
  void remove(std::string_view url) const;

  const std::filesystem::path& folder() const { return folder_; }
  // The entry file of a URL (the URL's 64-bit FNV-1a hash in hex).
  std::filesystem::path entryPath(std::string_view url) const;

 private:
  std::filesystem::path folder_;
};

// Seconds since 1970 now, as the Cached Date is written.
int64_t currentCacheDate();

}  // namespace kw
