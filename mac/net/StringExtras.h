// String helpers for the texts a movie passes in: cleaning, trimming, case
// insensitive tests. Case rules are ASCII only (letters outside A-Z/a-z compare
// as they are). The text tests booleanValue, stringStartsWithQuoteButDoesNotEndWithQuote
// and myStringWithUTF8String live with the request readers and are re-exported here.
#pragma once

#include <string>
#include <string_view>

#include "mac/commands/RequestReaders.h"
#include "mac/commands/TextBytes.h"

namespace kw {

// A copy without any carriage return or line feed.
std::string stringByStrippingReturnCharacters(std::string_view text);

// A copy without white space at both ends: tab, line feed, vertical tab, form
// feed, carriage return, space, and the Unicode spaces and line separators
// (U+0085, U+00A0, U+1680, U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000).
std::string stringByTrimmingWhitespace(std::string_view text);

// The runs of printing characters joined by single spaces; the non-printing
// characters are the codes 0-32 and 127. "  a \t b\n" gives "a b".
std::string stringByCollapsingNonPrintingCharacters(std::string_view text);

// Every "/" and ":" replaced by "-", and all leading "." removed.
std::string filenameByFixingIllegalCharacters(std::string_view text);

// Case-insensitive (ASCII) comparisons. As with the platform's string search,
// an empty other text is never found: the prefix, suffix and substring tests
// answer false for it.
bool isCaseInsensitiveEqualToString(std::string_view text, std::string_view other);
bool hasCaseInsensitivePrefix(std::string_view text, std::string_view prefix);
bool hasCaseInsensitiveSuffix(std::string_view text, std::string_view suffix);
bool hasCaseInsensitiveSubstring(std::string_view text, std::string_view substring);

}  // namespace kw
