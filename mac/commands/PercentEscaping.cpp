// Percent escaping: see PercentEscaping.h.
#include "mac/commands/PercentEscaping.h"

#include "mac/commands/TextBytes.h"

namespace kw {
namespace {

bool keepStandard(unsigned char c) { return isRFC2396Allowed(c); }
bool keepWithoutAmpersandPlus(unsigned char c) { return c != '&' && c != '+' && isRFC2396Allowed(c); }
bool keepWithoutAmpersandComma(unsigned char c) { return c != '&' && c != ',' && isRFC2396Allowed(c); }

}  // namespace

bool isRFC2396Allowed(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '_': case '.': case '!': case '~': case '*': case '\'': case '(': case ')':
    case ';': case '/': case '?': case ':': case '@': case '&': case '=': case '+': case '$':
    case ',': case '#':
      return true;
    default:
      return false;
  }
}

std::string percentEscape(std::string_view text, bool (*keep)(unsigned char)) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (keep(c)) {
      out += ch;
    } else {
      appendPercentEscape(out, c);
    }
  }
  return out;
}

std::string stringByAddingPercentEscapes(std::string_view text) { return percentEscape(text, keepStandard); }

std::string stringByAddingPercentEscapesIncludingAmpersands(std::string_view text) {
  return percentEscape(text, keepWithoutAmpersandPlus);
}

std::string stringByAddingPercentEscapesIncludingAmpersandsAndCommas(std::string_view text) {
  return percentEscape(text, keepWithoutAmpersandComma);
}

std::string stringByRemovingPercentEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexDigitValue(text[i + 1]);
      const int low = hexDigitValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace kw
