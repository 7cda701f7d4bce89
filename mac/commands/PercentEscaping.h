// Percent escaping of texts placed in URLs and in reply lists. The standard
// set keeps what RFC 2396 allows in a URI reference: letters, digits, the marks
// - _ . ! ~ * ' ( ), the reserved characters ; / ? : @ & = + $ , and the
// fragment mark #. Every other byte of the UTF-8 text (including "%", space,
// quotes and all bytes above 0x7F) is written as "%" and two upper-case hex digits.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// Standard set only.
std::string stringByAddingPercentEscapes(std::string_view text);
// Standard set, plus "&" and "+" escaped.
std::string stringByAddingPercentEscapesIncludingAmpersands(std::string_view text);
// Standard set, plus "&" and "," escaped (the form used in lists and events).
std::string stringByAddingPercentEscapesIncludingAmpersandsAndCommas(std::string_view text);
// Escapes the bytes for which `keep` is false; the building block of the above.
std::string percentEscape(std::string_view text, bool (*keep)(unsigned char));
// True for the bytes the standard set keeps.
bool isRFC2396Allowed(unsigned char c);

// Replaces every well-formed "%HH" escape by its byte; a "%" that is not
// followed by two hexadecimal digits is kept as it is.
std::string stringByRemovingPercentEscapes(std::string_view text);

}  // namespace kw
