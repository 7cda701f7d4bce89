// Readers for the two request forms a movie sends: named parameters of the
// URL form ("KW://KW_name?a=1&b=2") and the items of the list form ("[a,b]"),
// plus the small text tests both forms rely on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mac/pluginhost/Status.h"

namespace kw {

// Reads an optional sign and the leading decimal digits of `text`; the first
// other character ends the number, no digits give 0. Values beyond 32 bits
// wrap modulo 2^32 (defined, where the C library's atoi is not).
int32_t leadingInteger(std::string_view text);

// True exactly for the text "true" (case-sensitive).
bool booleanValue(std::string_view text);

// True when exactly one of the first and the last character is a double quote.
// False for an empty text (it has neither).
bool stringStartsWithQuoteButDoesNotEndWithQuote(std::string_view text);

// Text from the movie: null, "", "nil" and "undefined" become the empty string;
// anything else is read as UTF-8 (text that is not valid UTF-8 counts as
// missing and becomes the empty string too).
std::string myStringWithUTF8String(const char* text);

// Removes one pair of enclosing double or single quotes when the text is longer
// than one character and begins and ends with the same quote.
void stripEnclosingQuotes(std::string& text);
std::string_view withoutEnclosingQuotes(std::string_view text);

// Skips one object prefix ("zMenu.", "zSystem.", "zApplication.", "zFile.",
// "zFTP.", "KWF.", "KW_KWF.", tested in that order, case-sensitive). "zWindow."
// is kept. Returns a view into `request`.
std::string_view stripObjectPrefix(std::string_view request);

// Named parameter readers over the request text (behind "KW://KW_").
// Each answers kStatusOK, or kStatusBadParameter and leaves `out` unchanged
// when the parameter is missing or its value is malformed (a truncated or
// non-hexadecimal "%" escape).
Status readStringParameter(std::string_view request, std::string_view name, std::string& out,
                           bool allowAmpersands = false);
Status readIntParameter(std::string_view request, std::string_view name, int32_t& out);
Status readBoolParameter(std::string_view request, std::string_view name, uint8_t& out);

// Splits a list-form request ("[item,item,...]") into its items: outer
// brackets trimmed, split at commas, quoted items containing commas rejoined,
// double quotes at the ends of each item removed. Never returns an empty list.
std::vector<std::string> splitListRequest(std::string_view text);

}  // namespace kw
