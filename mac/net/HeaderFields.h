// Header blocks in front of a POST body: finding where the block ends and
// reading its RFC 822 fields.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "mac/net/TextEncoding.h"

namespace kw {

// Field name (capitalised) to value. Names and values are read as ISO
// Latin-1, so `latin1Bytes` gives every byte back.
using HeaderFields = std::map<std::string, std::string>;

// Reads the header lines of `bytes`. A line ends at a line feed, or at a
// carriage return that is not the last byte (a CR LF pair ends it together);
// bytes after the last line end are no line. An empty line stops the reading.
// A line beginning with a space or a tab is appended, as it is, to the value of
// the last field read; another line with a colon is a field (name before the
// colon, value after it without leading spaces and tabs); lines without a
// colon are skipped. A repeated name gets "old, new".
HeaderFields parseRFC822HeaderFields(ByteSpan bytes);

// The first letter of every hyphen-separated part in upper case, every other
// ASCII letter in lower case: "content-LENGTH" gives "Content-Length".
std::string capitalizeRFC822HeaderFieldName(std::string_view name);

// Non-empty and beginning with a line feed.
bool startsWithBlankLine(ByteSpan bytes);

// The position just after the first blank line (LF LF, or CR LF followed by
// LF or by CR LF; a leading CR LF ends the block at 2). Positions are looked at
// while four more bytes follow, so a blank line among the last four bytes is
// not seen. None when there is no blank line.
std::optional<size_t> locationAfterFirstBlankLine(ByteSpan bytes);

}  // namespace kw
