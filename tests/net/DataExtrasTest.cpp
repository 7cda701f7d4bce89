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
  // The match may reach past the range's end, up to the buffer's end.
  for (const Range range : {Range{0, 4}, Range{1, 3}, Range{0, 1}}) {
    EXPECT_EQ(rangeOfData(data, &abc, range), (Range{1, 3})) << range.location << "+" << range.length;
  }
  // Ranges starting behind the match or past the buffer find nothing.
  for (const Range range : {Range{2, 2}, Range{0, 5}, Range{5, 0}, Range{2, SIZE_MAX}}) {
    EXPECT_FALSE(rangeOfData(data, &abc, range).has_value()) << range.location << "+" << range.length;
  }
  // Empty buffers, empty and too long patterns find nothing.
  EXPECT_FALSE(rangeOfData(Bytes{}, &abc, Range{0, 0}).has_value());
  EXPECT_FALSE(rangeOfData(data, bytesOf(""), Range{0, 4}).has_value());
  EXPECT_FALSE(rangeOfData(bytesOf("ab"), &abc, Range{0, 2}).has_value());
}

TEST(DataExtras, ReplacesEveryOccurrenceWhollyInsideTheRange) {
  struct Row {
    const char* data;
    const char* pattern;
    const char* replacement;
    Range range;
    size_t count;
    const char* result;
  };
  const Row rows[] = {
      {"a-b-c-d", "-", "--", {0, 7}, 3, "a--b--c--d"},
      {"aaa", "a", "aa", {0, 3}, 3, "aaaaaa"},  // a replacement is not searched again
      {"xx.xx.xx", "xx", "Y", {2, 5}, 1, "xx.Y.xx"},
      {"abcabc", "abc", "", {0, 6}, 2, ""},
      // Nothing to do: no change.
      {"abc", "abc", "x", {0, 4}, 0, "abc"}, {"abc", "abc", "x", {SIZE_MAX, 2}, 0, "abc"},
      {"abc", "", "x", {0, 3}, 0, "abc"}, {"abc", "zz", "x", {0, 3}, 0, "abc"}};
  for (const Row& r : rows) {
    Bytes data = bytes(r.data);
    EXPECT_EQ(replaceOccurrencesOfData(data, bytesOf(r.pattern), bytesOf(r.replacement), r.range), r.count) << r.data;
    EXPECT_EQ(text(data), r.result);
  }
}

TEST(DataExtras, MissingArgumentsThrowWithTheMethodName) {
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
  const std::string search = "replaceOccurrencesOfData:withData:range: nil search string";
  const std::string replace = "replaceOccurrencesOfData:withData:range: nil replace string";
  EXPECT_EQ(reason([&] { rangeOfData(data, nullptr, Range{0, 3}); }), "range of nil");
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, nullptr, &pattern, Range{0, 3}); }), search);
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, &pattern, nullptr, Range{0, 3}); }), replace);
  EXPECT_EQ(reason([&] { replaceOccurrencesOfStringInData(data, nullptr, &target, Range{0, 3}); }), search);
  EXPECT_EQ(reason([&] { replaceOccurrencesOfStringInData(data, &target, nullptr, Range{0, 3}); }), replace);
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

TEST(DataExtras, RandomReplacementsMatchTheStepByStepProcedure) {
  std::mt19937 random(3069);
  const auto randomBytes = [&](size_t maxLength) {
    Bytes out(std::uniform_int_distribution<size_t>(0, maxLength)(random));
    for (uint8_t& b : out) b = static_cast<uint8_t>('a' + random() % 3);
    return out;
  };
  for (int round = 0; round < 4000; ++round) {
    const Bytes original = randomBytes(24);
    const Bytes pattern = randomBytes(3);
    const Bytes replacement = randomBytes(4);
    std::uniform_int_distribution<size_t> position(0, original.size() + 2);
    const size_t location = position(random);
    const Range range{location, position(random)};

    Bytes expected = original;
    const size_t expectedCount = referenceReplace(expected, pattern, replacement, range);
    Bytes actual = original;
    ASSERT_EQ(replaceOccurrencesOfData(actual, pattern, replacement, range), expectedCount)
        << text(original) << " / " << text(pattern) << " -> " << text(replacement);
    ASSERT_EQ(actual, expected) << text(original);

    if (const auto found = rangeOfData(original, pattern, range)) {
      EXPECT_GE(found->location, range.location);
      const auto at = original.begin() + static_cast<ptrdiff_t>(found->location);
      EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), at));
    }
  }
}

}  // namespace
}  // namespace kw
