// Request readers: see RequestReaders.h.
#include "mac/commands/RequestReaders.h"

#include <algorithm>
#include <array>

#include "mac/commands/TextBytes.h"

namespace kw {
namespace {

// Finds where the value of `name` starts: behind "?name=", else behind "&name=".
bool locateParameter(std::string_view request, std::string_view name, size_t& valueStart) {
  for (char lead : {'?', '&'}) {
    std::string key;
    key.reserve(name.size() + 2);
    key += lead;
    key += name;
    key += '=';
    const size_t at = request.find(key);
    if (at != std::string_view::npos) {
      valueStart = at + key.size();
      return true;
    }
  }
  return false;
}

}  // namespace

int32_t leadingInteger(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

bool booleanValue(std::string_view text) { return text == "true"; }

bool stringStartsWithQuoteButDoesNotEndWithQuote(std::string_view text) {
  if (text.empty()) return false;
  return (text.front() == '"') != (text.back() == '"');
}

std::string myStringWithUTF8String(const char* text) {
  if (text == nullptr) return {};
  const std::string_view view(text);
  if (view == "nil" || view == "undefined" || !isValidUTF8(view)) return {};
  return std::string(view);
}

std::string_view withoutEnclosingQuotes(std::string_view text) {
  if (text.size() > 1 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

void stripEnclosingQuotes(std::string& text) {
  const std::string_view inner = withoutEnclosingQuotes(text);
  if (inner.size() != text.size()) text = std::string(inner);
}

std::string_view stripObjectPrefix(std::string_view request) {
  static constexpr std::array<std::string_view, 7> kPrefixes = {
      "zMenu.", "zSystem.", "zApplication.", "zFile.", "zFTP.", "KWF.", "KW_KWF."};
  for (std::string_view prefix : kPrefixes) {
    if (request.starts_with(prefix)) return request.substr(prefix.size());
  }
  return request;
}

Status readStringParameter(std::string_view request, std::string_view name, std::string& out,
                           bool allowAmpersands) {
  size_t i = 0;
  if (!locateParameter(request, name, i)) return kStatusBadParameter;
  // The value runs to the end of the text or, unless allowed, to the first "&".
  const size_t end = allowAmpersands ? request.size() : std::min(request.size(), request.find('&', i));
  std::string value;
  value.reserve(end - i);
  bool ended = false;  // a NUL, raw or decoded, ends the value as it ends a C string
  while (i < end) {
    const size_t escape = std::min(request.find('%', i), end);
    if (!ended) {
      const std::string_view run = request.substr(i, escape - i);
      const size_t nul = run.find('\0');
      value.append(run.substr(0, nul));
      ended = nul != std::string_view::npos;
    }
    if (escape == end) break;
    if (end - escape < 3) return kStatusBadParameter;
    const int high = hexDigitValue(request[escape + 1]);
    const int low = hexDigitValue(request[escape + 2]);
    if (high < 0 || low < 0) return kStatusBadParameter;
    const auto byte = static_cast<char>(high * 16 + low);
    if (byte == '\0') ended = true;
    if (!ended) value += byte;
    i = escape + 3;
  }
  stripEnclosingQuotes(value);
  out = std::move(value);
  return kStatusOK;
}

Status readIntParameter(std::string_view request, std::string_view name, int32_t& out) {
  size_t i = 0;
  if (!locateParameter(request, name, i)) return kStatusBadParameter;
  out = leadingInteger(request.substr(i));
  return kStatusOK;
}

Status readBoolParameter(std::string_view request, std::string_view name, uint8_t& out) {
  size_t i = 0;
  if (!locateParameter(request, name, i)) return kStatusBadParameter;
  const std::string_view value = request.substr(i);
  const bool truth = leadingInteger(value) != 0;
  out = (truth || startsWithIgnoringASCIICase(value, "true")) ? 1 : 0;
  return kStatusOK;
}

std::vector<std::string> splitListRequest(std::string_view text) {
  // 1. Trim brackets at both ends.
  size_t first = 0;
  size_t last = text.size();
  while (first < last && (text[first] == '[' || text[first] == ']')) ++first;
  while (last > first && (text[last - 1] == '[' || text[last - 1] == ']')) --last;
  text = text.substr(first, last - first);

  // 2. Split at every comma.
  std::vector<std::string_view> pieces;
  for (size_t start = 0;;) {
    const size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }

  // 3. Rejoin quoted items that contained commas; 4. trim their end quotes.
  std::vector<std::string> items;
  items.reserve(pieces.size());
  for (size_t p = 0; p < pieces.size(); ++p) {
    std::string item(pieces[p]);
    if (stringStartsWithQuoteButDoesNotEndWithQuote(pieces[p])) {
      while (++p < pieces.size()) {
        item += ',';
        item += pieces[p];
        if (stringStartsWithQuoteButDoesNotEndWithQuote(pieces[p])) break;
      }
    }
    size_t from = 0;
    size_t to = item.size();
    while (from < to && item[from] == '"') ++from;
    while (to > from && item[to - 1] == '"') --to;
    items.push_back(item.substr(from, to - from));
  }
  return items;
}

}  // namespace kw
