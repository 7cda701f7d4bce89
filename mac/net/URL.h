// A parsed URL value. Parsing is libcurl's URL API with schemes it does not
// support allowed; curl wants "//" after every scheme but "file", so texts such
// as "javascript:..." or "mailto:..." make no URL (the string helpers handle
// javascript texts on their own).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kw {

class URL {
 public:
  // Parses `text` as an absolute URL, or as a reference relative to `base`.
  // Texts with white space or control characters, and whatever curl refuses,
  // give none. Bytes above 0x7F are percent-escaped before parsing, so an
  // absolute string is always ASCII apart from a host that curl decodes.
  // Resolution is curl's, except that an empty reference gives the base
  // without its fragment and "#x" replaces only the base's fragment (curl
  // would also drop the base's last path segment there).
  static std::optional<URL> parse(std::string_view text, const URL* base = nullptr);

  // The URL as curl writes it back (scheme and "/" path normalised, "." and
  // ".." segments removed); file URLs are written "file://" + path.
  const std::string& absoluteString() const { return absolute_; }
  // Lower-case scheme, e.g. "http".
  const std::string& scheme() const { return scheme_; }
  // Host name as curl reports it; empty for file URLs.
  const std::string& host() const { return host_; }
  // The path as written in the URL (escapes kept).
  const std::string& escapedPath() const { return path_; }
  // The path with its percent escapes decoded.
  std::string path() const;
  bool isFileURL() const { return scheme_ == "file"; }

  friend bool operator==(const URL&, const URL&) = default;

 private:
  URL() = default;
  std::string absolute_;
  std::string scheme_;
  std::string host_;
  std::string path_;
};

}  // namespace kw
