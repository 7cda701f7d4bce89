// Searching and replacing in byte buffers, and comparing them with C strings.
// Texts turn into bytes in the default text encoding, UTF-8, without a
// terminating zero.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "mac/net/TextEncoding.h"

namespace kw {

struct Range {
  size_t location = 0;
  size_t length = 0;
  size_t end() const { return location + length; }
  friend bool operator==(const Range&, const Range&) = default;
};

// The first occurrence of `pattern` starting at or after range.location (it
// may reach past the range's end, up to the end of the buffer). None when the
// range reaches past the buffer, or the buffer or the pattern is empty.
// A missing (null) pattern throws std::invalid_argument("range of nil").
std::optional<Range> rangeOfData(ByteSpan data, const Bytes* pattern, Range range);
std::optional<Range> rangeOfData(ByteSpan data, ByteSpan pattern, Range range);

// Replaces, left to right, every occurrence of `pattern` that lies wholly in
// `range` and answers their number. The search goes on after each inserted
// replacement, so a replacement that contains the pattern is not searched
// again. A range reaching past the buffer, or an empty pattern, replaces
// nothing. A null pattern or replacement throws std::invalid_argument with
// "replaceOccurrencesOfData:withData:range: nil search string" or
// "... nil replace string".
size_t replaceOccurrencesOfData(Bytes& data, const Bytes* pattern, const Bytes* replacement, Range range);
size_t replaceOccurrencesOfData(Bytes& data, ByteSpan pattern, ByteSpan replacement, Range range);

// The same for two texts; a null text throws as replaceOccurrencesOfData does.
size_t replaceOccurrencesOfStringInData(Bytes& data, const std::string* target, const std::string* replacement,
                                        Range range);

// The whole buffer contains the text's bytes (never for an empty text).
bool dataContainsString(ByteSpan data, std::string_view text);

// The buffer's bytes equal the first bytes of the zero-terminated `text`,
// ignoring ASCII case, compared like strncasecmp over the buffer's length:
// a zero byte met in both at the same place ends the comparison as equal.
// The text is never read past its terminating zero; a null text is unequal.
bool isCaseInsensitiveEqualToCString(ByteSpan data, const char* text);

}  // namespace kw
