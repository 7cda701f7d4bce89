// Content type guessing: see MIMEGuess.h.
#include "mac/net/MIMEGuess.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kw {
namespace {

constexpr size_t kSniffLength = 1024;

// The leading bytes the guesses look at: the first 1,024 (or fewer) minus `margin`.
size_t windowLength(ByteSpan bytes, size_t margin) {
  const size_t head = std::min(bytes.size(), kSniffLength);
  return head > margin ? head - margin : 0;
}

// Next "<" at or after `from` and before `end`.
std::optional<size_t> nextTagStart(ByteSpan bytes, size_t from, size_t end) {
  if (from >= end) return std::nullopt;
  const void* hit = std::memchr(bytes.data() + from, '<', end - from);
  if (hit == nullptr) return std::nullopt;
  return static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes.data());
}

bool startsWith(ByteSpan bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && textOf(bytes.first(prefix.size())) == prefix;
}

bool isPlainTextByte(uint8_t b) { return b == '\t' || b == '\n' || b == '\r' || (b >= 32 && b <= 126); }

}  // namespace

std::optional<std::string_view> guessedMIMETypeForXML(ByteSpan bytes) {
  const size_t end = windowLength(bytes, 6);
  bool inRDF = false;
  for (auto at = nextTagStart(bytes, 0, end); at; at = nextTagStart(bytes, *at + 1, end)) {
    const size_t p = *at;
    if (inRDF) {
      if (hasPrefixIgnoringASCIICaseAt(bytes, p, "<channel")) return "application/rss+xml";
      continue;
    }
    if (hasPrefixIgnoringASCIICaseAt(bytes, p, "<rdf")) {
      inRDF = true;
    } else if (hasPrefixIgnoringASCIICaseAt(bytes, p, "<rss")) {
      return "application/rss+xml";
    } else if (hasPrefixIgnoringASCIICaseAt(bytes, p, "<feed")) {
      return "application/atom+xml";
    } else if (!hasPrefixIgnoringASCIICaseAt(bytes, p, "<?") && !hasPrefixIgnoringASCIICaseAt(bytes, p, "<!")) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> guessedMIMEType(ByteSpan bytes) {
  if (auto feed = guessedMIMETypeForXML(bytes)) return feed;

  static constexpr std::array<std::string_view, 4> kHTMLTags = {"<html>", "<a ", "<script", "<title>"};
  const size_t tagEnd = windowLength(bytes, 6);
  for (auto at = nextTagStart(bytes, 0, tagEnd); at; at = nextTagStart(bytes, *at + 1, tagEnd)) {
    for (std::string_view tag : kHTMLTags) {
      if (hasPrefixIgnoringASCIICaseAt(bytes, *at, tag)) return "text/html";
    }
  }
  const size_t textEnd = windowLength(bytes, 8);
  for (size_t p = 0; p < textEnd; ++p) {
    if (hasPrefixIgnoringASCIICaseAt(bytes, p, "text/html")) return "text/html";
  }

  if (bytes.size() > 10 && startsWith(bytes, "BEGIN:VCARD")) return "text/vcard";
  if (bytes.size() > 14 && startsWith(bytes, "BEGIN:VCALENDAR")) return "text/calendar";
  if (std::all_of(bytes.begin(), bytes.end(), isPlainTextByte)) return "text/plain";
  if (bytes.size() < 4) return std::nullopt;
  static constexpr std::array<uint8_t, 4> kJPEG = {0xFF, 0xD8, 0xFF, 0xE0};
  if (std::equal(kJPEG.begin(), kJPEG.end(), bytes.begin())) return "image/jpeg";
  return std::nullopt;
}

}  // namespace kw
