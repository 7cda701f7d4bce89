// Tests of the header block helpers: field parsing, name capitalisation and
// the blank-line finder, with randomized property checks (fixed seeds).
#include "mac/net/HeaderFields.h"

#include <gtest/gtest.h>

#include <random>

namespace kw {
namespace {

HeaderFields parse(std::string_view text) { return parseRFC822HeaderFields(bytesOf(text)); }
std::optional<size_t> blankLineEnd(std::string_view text) { return locationAfterFirstBlankLine(bytesOf(text)); }

TEST(HeaderFields, ParsesFieldsContinuationsAndRepeats) {
  const HeaderFields fields = parse("content-type: text/html\r\nX-TAG: a\nx-tag: b\r\n c\r\n\r\nbody: no\n");
  EXPECT_EQ(fields, (HeaderFields{{"Content-Type", "text/html"}, {"X-Tag", "a, b c"}}));

  EXPECT_EQ(parse("A:\t  spaced  \n"), (HeaderFields{{"A", "spaced  "}}));
  EXPECT_EQ(parse("Empty:\n"), (HeaderFields{{"Empty", ""}}));
  EXPECT_EQ(parse("Url: http://x:80/\n"), (HeaderFields{{"Url", "http://x:80/"}}));
  // Continuations before any field, and lines without a colon, are dropped.
  EXPECT_EQ(parse(" lost\nnocolon\nA: 1\nnocolon\n\tmore\n"), (HeaderFields{{"A", "1\tmore"}}));
  // Values are read as ISO Latin-1.
  EXPECT_EQ(parse("N: caf\xE9\n"), (HeaderFields{{"N", "caf\xC3\xA9"}}));
}

TEST(HeaderFields, LineEndsFollowTheCarriageReturnRules) {
  // A carriage return as the last byte does not end a line.
  EXPECT_TRUE(parse("A: b\r").empty());
  EXPECT_TRUE(parse("A: b").empty());
  EXPECT_EQ(parse("A: b\rB: c\r\r"), (HeaderFields{{"A", "b"}, {"B", "c"}}));
  // A lone CR ends a line; the empty line after it stops the reading.
  EXPECT_EQ(parse("A: b\r\rB: c\n"), (HeaderFields{{"A", "b"}}));
  EXPECT_EQ(parse("\nA: b\n"), HeaderFields{});
  EXPECT_TRUE(parse("").empty());
}

TEST(HeaderFields, CapitalisesEachHyphenatedPiece) {
  const std::pair<const char*, const char*> rows[] = {
      {"content-LENGTH", "Content-Length"}, {"x-1a--b-", "X-1a--B-"}, {"WWW-AUTHENTICATE", "Www-Authenticate"},
      {"caf\xC3\xA9", "Caf\xC3\xA9"}, {"", ""}};
  for (const auto& [name, capitalised] : rows) EXPECT_EQ(capitalizeRFC822HeaderFieldName(name), capitalised);
}

TEST(HeaderFields, FindsTheEndOfTheFirstBlankLine) {
  const std::pair<const char*, std::optional<size_t>> rows[] = {
      {"A: b\n\nbody", 6}, {"A: b\r\n\r\nbody", 8}, {"A: b\r\n\nbody", 7}, {"\n\nbody", 2},
      {"\r\nA: b\r\n\r\nbody", 2},  // a leading CR LF ends an empty block
      {"A: b\r\nC: d\r\n\r\nbody", 14},
      // Lone carriage returns and mixed LF CR LF are no blank line.
      {"A: b\r\rbody....", std::nullopt}, {"A: b\n\r\nbody...", std::nullopt},
      // Only positions with four bytes after them are looked at.
      {"A: b\r\n\r\n", std::nullopt}, {"A: b\n\nxx", std::nullopt}, {"A: b\n\nxxx", 6}, {"\n\n", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [text, end] : rows) EXPECT_EQ(blankLineEnd(text), end) << text;

  EXPECT_TRUE(startsWithBlankLine(bytesOf("\nbody")));
  EXPECT_FALSE(startsWithBlankLine(bytesOf("\r\nbody")));
  EXPECT_FALSE(startsWithBlankLine(bytesOf("")));
}

std::string randomHeaderText(std::mt19937& random, size_t maxLength) {
  static constexpr char kAlphabet[] = {'a', 'B', ':', ' ', '\t', '\r', '\n', '-', 'x', '\xE9'};
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 1);
  std::string text(length(random), ' ');
  for (char& c : text) c = kAlphabet[pick(random)];
  return text;
}

// Every line end written as a single LF: CR LF pairs and lone CRs that are
// not the last byte.
std::string withLFLineEnds(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size()) {
      out += '\n';
      if (text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

TEST(HeaderFields, RandomBlocksKeepTheParsingInvariants) {
  std::mt19937 random(822);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = randomHeaderText(random, 40);
    const HeaderFields fields = parse(text);
    for (const auto& [name, value] : fields) {
      EXPECT_EQ(capitalizeRFC822HeaderFieldName(name), name);
    }
    // The line-end forms are interchangeable.
    EXPECT_EQ(parse(withLFLineEnds(text)), fields) << text;
    // Bytes after the last line end form no line.
    if (text.empty() || text.back() != '\r') {
      EXPECT_EQ(parse(text + "Z: tail"), fields) << text;
    }
    // Nothing after the first empty line counts.
    EXPECT_EQ(parse("A: 1\n\n" + text), (HeaderFields{{"A", "1"}}));
  }
}

TEST(HeaderFields, RandomBlankLineAnswersEndAfterALineFeed) {
  std::mt19937 random(2660);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = randomHeaderText(random, 24);
    const std::optional<size_t> end = blankLineEnd(text);
    if (!end) continue;
    ASSERT_GE(*end, 2u);
    ASSERT_LE(*end, text.size());
    EXPECT_EQ(text[*end - 1], '\n') << text;
    // The block it ends holds no earlier blank line in LF form.
    const std::string block = withLFLineEnds(text.substr(0, *end));
    EXPECT_TRUE(block.ends_with("\n\n") || *end == 2) << text;
  }
}

}  // namespace
}  // namespace kw
