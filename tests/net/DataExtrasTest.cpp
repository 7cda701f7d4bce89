// Tests of byte buffer search and replace, checked also against the
// step-by-step replace procedure on random buffers (fixed seeds).
#include "mac/net/DataExtras.h"

#include <gtest/gtest.h>

#include <random>

namespace kw {
namespace {

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
std::string text(const Bytes& data) { return std::string(data.begin(), data.end()); }

TEST(DataExtras, RangeOfDataSearchesFromTheRangeStart) {
  const Bytes data = bytes("xabc");
  const Bytes abc = bytes("abc");
  EXPECT_EQ(rangeOfData(data, &abc, Range{0, 4}), (Range{1, 3}));
  EXPECT_EQ(rangeOfData(data, &abc, Range{1, 3}), (Range{1, 3}));
  EXPECT_FALSE(rangeOfData(data, &abc, Range{2, 2}).has_value());
  // The match may reach past the range's end, up to the buffer's end.
  EXPECT_EQ(rangeOfData(data, &abc, Range{0, 1}), (Range{1, 3}));
  // Ranges past the buffer, empty buffers and empty patterns find nothing.
  EXPECT_FALSE(rangeOfData(data, &abc, Range{0, 5}).has_value());
  EXPECT_FALSE(rangeOfData(data, &abc, Range{5, 0}).has_value());
  EXPECT_FALSE(rangeOfData(data, &abc, Range{2, SIZE_MAX}).has_value());
  EXPECT_FALSE(rangeOfData(Bytes{}, &abc, Range{0, 0}).has_value());
  EXPECT_FALSE(rangeOfData(data, bytesOf(""), Range{0, 4}).has_value());
  EXPECT_FALSE(rangeOfData(bytesOf("ab"), &abc, Range{0, 2}).has_value());

  try {
    rangeOfData(data, nullptr, Range{0, 4});
    FAIL() << "a missing pattern must throw";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "range of nil");
  }
}

TEST(DataExtras, ReplacesEveryOccurrenceInTheRange) {
  Bytes data = bytes("a-b-c-d");
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("-"), bytesOf("--"), Range{0, 7}), 3u);
  EXPECT_EQ(text(data), "a--b--c--d");

  // A replacement containing the pattern is not searched again.
  data = bytes("aaa");
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("a"), bytesOf("aa"), Range{0, 3}), 3u);
  EXPECT_EQ(text(data), "aaaaaa");

  // Only matches wholly inside the range count.
  data = bytes("xx.xx.xx");
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("xx"), bytesOf("Y"), Range{2, 5}), 1u);
  EXPECT_EQ(text(data), "xx.Y.xx");

  data = bytes("abcabc");
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("abc"), bytesOf(""), Range{0, 6}), 2u);
  EXPECT_EQ(text(data), "");

  // Nothing to do: no change.
  data = bytes("abc");
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("abc"), bytesOf("x"), Range{0, 4}), 0u);
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("abc"), bytesOf("x"), Range{SIZE_MAX, 2}), 0u);
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf(""), bytesOf("x"), Range{0, 3}), 0u);
  EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf("zz"), bytesOf("x"), Range{0, 3}), 0u);
  EXPECT_EQ(text(data), "abc");
}

TEST(DataExtras, MissingReplaceArgumentsThrowWithTheMethodName) {
  Bytes data = bytes("abc");
  const Bytes pattern = bytes("b");
  const std::string target = "b";
  const auto reason = [&](auto&& call) -> std::string {
    try {
      call();
    } catch (const std::invalid_argument& error) {
      return error.what();
    }
    return "(no exception)";
  };
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, nullptr, &pattern, Range{0, 3}); }),
            "replaceOccurrencesOfData:withData:range: nil search string");
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, &pattern, nullptr, Range{0, 3}); }),
            "replaceOccurrencesOfData:withData:range: nil replace string");
  EXPECT_EQ(reason([&] { replaceOccurrencesOfStringInData(data, nullptr, &target, Range{0, 3}); }),
            "replaceOccurrencesOfData:withData:range: nil search string");
  EXPECT_EQ(reason([&] { replaceOccurrencesOfStringInData(data, &target, nullptr, Range{0, 3}); }),
            "replaceOccurrencesOfData:withData:range: nil replace string");
  EXPECT_EQ(text(data), "abc");
}

TEST(DataExtras, TextVariantsUseUTF8Bytes) {
  Bytes data = bytes("caf\xC3\xA9 caf\xC3\xA9");
  const std::string target = "\xC3\xA9";
  const std::string replacement = "e";
  EXPECT_EQ(replaceOccurrencesOfStringInData(data, &target, &replacement, Range{0, data.size()}), 2u);
  EXPECT_EQ(text(data), "cafe cafe");

  EXPECT_TRUE(dataContainsString(bytesOf("Content-Length: 5"), "Length"));
  EXPECT_FALSE(dataContainsString(bytesOf("Content-Length: 5"), "length"));
  EXPECT_FALSE(dataContainsString(bytesOf("abc"), ""));
  EXPECT_FALSE(dataContainsString(Bytes{}, "a"));
}

TEST(DataExtras, CaseInsensitiveComparisonWithACString) {
  EXPECT_TRUE(isCaseInsensitiveEqualToCString(bytesOf("GET"), "get"));
  EXPECT_TRUE(isCaseInsensitiveEqualToCString(bytesOf("Con"), "content"));  // the buffer's length decides
  EXPECT_FALSE(isCaseInsensitiveEqualToCString(bytesOf("content"), "Con"));  // never read past the zero
  EXPECT_FALSE(isCaseInsensitiveEqualToCString(bytesOf("abd"), "abc"));
  EXPECT_TRUE(isCaseInsensitiveEqualToCString(Bytes{'a', 0, 'z'}, "A"));
  EXPECT_TRUE(isCaseInsensitiveEqualToCString(Bytes{}, ""));
  EXPECT_FALSE(isCaseInsensitiveEqualToCString(bytesOf("a"), nullptr));
}

// The replace procedure step by step: search, splice, move on after the
// replacement, move the range's end by the change in length.
size_t referenceReplace(Bytes& data, const Bytes& pattern, const Bytes& replacement, Range range) {
  if (range.location > data.size() || range.length > data.size() - range.location || pattern.empty()) return 0;
  size_t start = range.location;
  size_t end = range.end();
  size_t count = 0;
  while (end >= start && end - start >= pattern.size()) {
    size_t at = start;
    while (at + pattern.size() <= end && !std::equal(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at))) ++at;
    if (at + pattern.size() > end) break;
    data.erase(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + pattern.size()));
    data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), replacement.begin(), replacement.end());
    start = at + replacement.size();
    end = end - pattern.size() + replacement.size();
    ++count;
  }
  return count;
}

Bytes randomBytes(std::mt19937& random, size_t maxLength) {
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<int> letter(0, 2);
  Bytes out(length(random));
  for (uint8_t& b : out) b = static_cast<uint8_t>('a' + letter(random));
  return out;
}

TEST(DataExtras, RandomReplacementsMatchTheStepByStepProcedure) {
  std::mt19937 random(3069);
  for (int round = 0; round < 4000; ++round) {
    const Bytes original = randomBytes(random, 24);
    const Bytes pattern = randomBytes(random, 3);
    const Bytes replacement = randomBytes(random, 4);
    std::uniform_int_distribution<size_t> position(0, original.size() + 2);
    const size_t location = position(random);
    const Range range{location, std::uniform_int_distribution<size_t>(0, original.size() + 2)(random)};

    Bytes expected = original;
    const size_t expectedCount = referenceReplace(expected, pattern, replacement, range);
    Bytes actual = original;
    ASSERT_EQ(replaceOccurrencesOfData(actual, pattern, replacement, range), expectedCount)
        << text(original) << " / " << text(pattern) << " -> " << text(replacement);
    ASSERT_EQ(actual, expected) << text(original);

    const auto found = rangeOfData(original, pattern, range);
    if (found) {
      EXPECT_GE(found->location, range.location);
      EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), original.begin() + static_cast<std::ptrdiff_t>(found->location)));
    }
  }
}

}  // namespace
}  // namespace kw
