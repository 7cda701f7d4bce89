// URL helpers: see URLExtras.h.
#include "mac/net/URLExtras.h"

#include "mac/commands/PercentEscaping.h"
#include "mac/commands/TextBytes.h"
#include "mac/net/StringExtras.h"

namespace kw {
namespace {

constexpr std::string_view kJavaScriptScheme = "javascript:";

// Reads one "%HH" escape at `i`; none when there is no well-formed escape there.
std::optional<char> escapeAt(std::string_view text, size_t i) {
  if (i >= text.size() || text.size() - i < 3 || text[i] != '%') return std::nullopt;
  const int high = hexDigitValue(text[i + 1]);
  const int low = hexDigitValue(text[i + 2]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<char>(high * 16 + low);
}

// Length of the UTF-8 sequence a lead byte announces; 0 for a byte that cannot lead.
size_t utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

bool keepForPath(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~' || c == '/';
}

}  // namespace

std::optional<URL> urlWithDataAsString(std::string_view text, const URL* base) {
  const std::optional<Bytes> bytes = latin1Bytes(stringByTrimmingWhitespace(text));
  if (!bytes) return std::nullopt;
  return urlWithData(*bytes, base);
}

std::optional<URL> urlWithData(ByteSpan bytes, const URL* base) {
  // UTF-8 and ISO Latin-1 readings agree once non-ASCII characters are escaped
  // in their own encoding: both give the escapes of the original bytes.
  return URL::parse(textOf(bytes), base);
}

std::optional<URL> fileURLWithPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  return URL::parse("file://" + kwm_stringByAddingPercentEscapes(path));
}

bool validURL(const URL& url) { return isValidURL(url.absoluteString()); }

bool isValidURL(std::string_view text) {
  return hasCaseInsensitivePrefix(text, "http://") || hasCaseInsensitivePrefix(text, "https://") ||
         hasCaseInsensitivePrefix(text, "file://");
}

bool isJavaScriptURL(std::string_view text) { return hasCaseInsensitivePrefix(text, kJavaScriptScheme); }

std::optional<std::string> scriptIfJavaScriptURL(std::string_view text) {
  if (!isJavaScriptURL(text)) return std::nullopt;
  return stringByReplacingValidPercentEscapes(text.substr(kJavaScriptScheme.size()));
}

std::optional<std::string> scriptIfJavaScriptURL(const URL& url) {
  return scriptIfJavaScriptURL(url.absoluteString());
}

std::string stringByReplacingValidPercentEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    // Collect one run of consecutive escapes.
    std::string decoded;
    size_t end = i;
    while (auto byte = escapeAt(text, end)) {
      decoded += *byte;
      end += 3;
    }
    if (decoded.empty()) {
      out += text[i++];
      continue;
    }
    // Within the run, decode each whole UTF-8 character; keep the escapes of
    // bytes that do not form one.
    size_t k = 0;
    while (k < decoded.size()) {
      const size_t length = utf8SequenceLength(static_cast<unsigned char>(decoded[k]));
      if (length != 0 && k + length <= decoded.size() &&
          isValidUTF8(std::string_view(decoded).substr(k, length))) {
        out.append(decoded, k, length);
        k += length;
      } else {
        out.append(text.substr(i + 3 * k, 3));
        ++k;
      }
    }
    i = end;
  }
  return out;
}

std::string kwm_stringByAddingPercentEscapes(std::string_view text) { return percentEscape(text, keepForPath); }

}  // namespace kw
