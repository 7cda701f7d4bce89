// Making URLs of a movie's text, and the URL tests and escapes the loader, the
// downloads and the web windows rely on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mac/net/TextEncoding.h"
#include "mac/net/URL.h"

namespace kw {

// The text with white space trimmed at both ends, encoded as Latin-1 bytes
// (`latin1Bytes`, which also takes the Windows Latin-1 punctuation back to its
// byte), then `urlWithData`. A text with a character outside those sets gives
// no URL.
std::optional<URL> urlWithDataAsString(std::string_view text, const URL* base = nullptr);

// A URL of the bytes, relative to `base` when given. The bytes are read as
// UTF-8 and, when they are not valid UTF-8, as ISO Latin-1; either way each
// character outside ASCII is written as the percent escapes of the bytes it
// came from, so both readings give the same URL. Empty bytes give whatever the
// parser makes of the empty text: none without a base, the base otherwise.
std::optional<URL> urlWithData(ByteSpan bytes, const URL* base = nullptr);

// The file URL of an absolute path (escaped with kwm_stringByAddingPercentEscapes).
// None for a relative path.
std::optional<URL> fileURLWithPath(std::string_view path);

// `isValidURL` of the URL's absolute string.
bool validURL(const URL& url);
// Begins with "http://", "https://" or "file://", in any letter case.
bool isValidURL(std::string_view text);
// Begins with "javascript:", in any letter case.
bool isJavaScriptURL(std::string_view text);
// For a javascript text: everything after "javascript:" with its valid
// percent escapes decoded; none otherwise.
std::optional<std::string> scriptIfJavaScriptURL(std::string_view text);
std::optional<std::string> scriptIfJavaScriptURL(const URL& url);

// Decodes every run of "%HH" escapes whose bytes form UTF-8 text; escapes whose
// bytes do not form a whole UTF-8 character, and "%" signs that are not
// followed by two hex digits, are left as they are. (So decoding never fails
// as a whole: valid escapes around an invalid one are still decoded.)
std::string stringByReplacingValidPercentEscapes(std::string_view text);

// Percent-escapes the UTF-8 text for a URL path: letters, digits, "-", "_",
// ".", "~" and "/" stay, every other byte becomes "%" and two upper-case hex digits.
std::string kwm_stringByAddingPercentEscapes(std::string_view text);

}  // namespace kw
