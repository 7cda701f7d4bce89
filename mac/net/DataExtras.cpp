// Byte buffer search and replace: see DataExtras.h.
#include "mac/net/DataExtras.h"

#include <algorithm>

namespace kw {
namespace {

constexpr const char* kReplaceMethodName = "replaceOccurrencesOfData:withData:range:";

bool rangeFits(size_t size, Range range) { return range.location <= size && range.length <= size - range.location; }

// First occurrence of `pattern` in data[from, to); none when there is none.
std::optional<size_t> find(ByteSpan data, ByteSpan pattern, size_t from, size_t to) {
  const auto first = data.begin() + static_cast<std::ptrdiff_t>(from);
  const auto last = data.begin() + static_cast<std::ptrdiff_t>(to);
  const auto hit = std::search(first, last, pattern.begin(), pattern.end());
  if (hit == last) return std::nullopt;
  return static_cast<size_t>(hit - data.begin());
}

}  // namespace

std::optional<Range> rangeOfData(ByteSpan data, const Bytes* pattern, Range range) {
  if (pattern == nullptr) throw std::invalid_argument("range of nil");
  return rangeOfData(data, ByteSpan(*pattern), range);
}

std::optional<Range> rangeOfData(ByteSpan data, ByteSpan pattern, Range range) {
  if (!rangeFits(data.size(), range) || data.empty() || pattern.empty()) return std::nullopt;
  const auto at = find(data, pattern, range.location, data.size());
  if (!at) return std::nullopt;
  return Range{*at, pattern.size()};
}

size_t replaceOccurrencesOfData(Bytes& data, const Bytes* pattern, const Bytes* replacement, Range range) {
  if (pattern == nullptr) throw std::invalid_argument(std::string(kReplaceMethodName) + " nil search string");
  if (replacement == nullptr) throw std::invalid_argument(std::string(kReplaceMethodName) + " nil replace string");
  return replaceOccurrencesOfData(data, ByteSpan(*pattern), ByteSpan(*replacement), range);
}

size_t replaceOccurrencesOfData(Bytes& data, ByteSpan pattern, ByteSpan replacement, Range range) {
  if (!rangeFits(data.size(), range) || pattern.empty()) return 0;
  // One pass that copies the buffer with the replacements in place: the same
  // matches as searching again after each inserted replacement, in linear time.
  const ByteSpan source(data);
  const size_t end = range.end();
  Bytes result;
  size_t copied = 0;  // source bytes already in `result`
  size_t count = 0;
  size_t position = range.location;
  while (const auto at = find(source, pattern, position, end)) {
    if (count == 0) result.reserve(data.size());
    result.insert(result.end(), source.begin() + static_cast<std::ptrdiff_t>(copied),
                  source.begin() + static_cast<std::ptrdiff_t>(*at));
    result.insert(result.end(), replacement.begin(), replacement.end());
    position = copied = *at + pattern.size();
    ++count;
  }
  if (count == 0) return 0;
  result.insert(result.end(), source.begin() + static_cast<std::ptrdiff_t>(copied), source.end());
  data.swap(result);
  return count;
}

size_t replaceOccurrencesOfStringInData(Bytes& data, const std::string* target, const std::string* replacement,
                                        Range range) {
  if (target == nullptr) throw std::invalid_argument(std::string(kReplaceMethodName) + " nil search string");
  if (replacement == nullptr) throw std::invalid_argument(std::string(kReplaceMethodName) + " nil replace string");
  return replaceOccurrencesOfData(data, bytesOf(*target), bytesOf(*replacement), range);
}

bool dataContainsString(ByteSpan data, std::string_view text) {
  return rangeOfData(data, bytesOf(text), Range{0, data.size()}).has_value();
}

bool isCaseInsensitiveEqualToCString(ByteSpan data, const char* text) {
  if (text == nullptr) return false;
  for (size_t i = 0; i < data.size(); ++i) {
    const auto expected = static_cast<uint8_t>(text[i]);
    if (toLowerASCII(data[i]) != toLowerASCII(expected)) return false;
    if (expected == 0) return true;
  }
  return true;
}

}  // namespace kw
