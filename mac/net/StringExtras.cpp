// String helpers: see StringExtras.h.
#include "mac/net/StringExtras.h"

#include <array>

#include "mac/net/TextEncoding.h"

namespace kw {
namespace {

constexpr bool isASCIIWhitespace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// UTF-8 forms of the white space characters outside ASCII.
constexpr std::array<std::string_view, 19> kWideWhitespace = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

// Length of the white space character that begins `text`; 0 when none does.
size_t leadingWhitespaceLength(std::string_view text) {
  if (text.empty()) return 0;
  if (isASCIIWhitespace(text.front())) return 1;
  for (std::string_view form : kWideWhitespace) {
    if (text.starts_with(form)) return form.size();
  }
  return 0;
}

// Length of the white space character that ends `text`; 0 when none does.
size_t trailingWhitespaceLength(std::string_view text) {
  if (text.empty()) return 0;
  if (isASCIIWhitespace(text.back())) return 1;
  for (std::string_view form : kWideWhitespace) {
    if (text.ends_with(form)) return form.size();
  }
  return 0;
}

constexpr bool isNonPrinting(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c <= 32 || c == 127;
}

}  // namespace

std::string stringByStrippingReturnCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

std::string stringByTrimmingWhitespace(std::string_view text) {
  while (size_t n = leadingWhitespaceLength(text)) text.remove_prefix(n);
  while (size_t n = trailingWhitespaceLength(text)) text.remove_suffix(n);
  return std::string(text);
}

std::string stringByCollapsingNonPrintingCharacters(std::string_view text) {
  std::string out;
  size_t position = 0;
  while (position < text.size()) {
    size_t runStart = position;
    while (runStart < text.size() && isNonPrinting(text[runStart])) ++runStart;
    if (runStart == text.size()) break;
    size_t runEnd = runStart + 1;
    while (runEnd < text.size() && !isNonPrinting(text[runEnd])) ++runEnd;
    if (position != 0) out += ' ';
    out.append(text.substr(runStart, runEnd - runStart));
    position = runEnd;
  }
  return out;
}

std::string filenameByFixingIllegalCharacters(std::string_view text) {
  const size_t firstKept = text.find_first_not_of('.');
  if (firstKept == std::string_view::npos) return {};
  std::string out(text.substr(firstKept));
  for (char& c : out) {
    if (c == '/' || c == ':') c = '-';
  }
  return out;
}

bool isCaseInsensitiveEqualToString(std::string_view text, std::string_view other) {
  return equalsIgnoringASCIICase(text, other);
}

bool hasCaseInsensitivePrefix(std::string_view text, std::string_view prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

bool hasCaseInsensitiveSuffix(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && text.size() >= suffix.size() &&
         equalsIgnoringASCIICase(text.substr(text.size() - suffix.size()), suffix);
}

bool hasCaseInsensitiveSubstring(std::string_view text, std::string_view substring) {
  return !substring.empty() && findIgnoringASCIICase(text, substring).has_value();
}

}  // namespace kw
