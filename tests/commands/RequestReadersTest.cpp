// Tests of the request readers: numbers, booleans, quotes, object prefixes,
// named URL parameters and the list splitter.
#include "mac/commands/RequestReaders.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace kw {
namespace {

using Items = std::vector<std::string>;

TEST(RequestReaders, LeadingIntegerReadsSignAndDigitsAndWrapsModulo2To32) {
  const std::pair<std::string, int32_t> rows[] = {
      {"", 0}, {"abc", 0}, {"-", 0}, {"12abc", 12}, {"-5&x=1", -5}, {"+7", 7}, {" 5", 0}, {"--5", 0}, {"007", 7},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483648", INT32_MIN}, {"4294967297", 1},
      {"42949672965", 5}, {"4294967296429496729642949672967", 7}, {std::string(5000, '0') + "42", 42}};
  for (const auto& [text, value] : rows) EXPECT_EQ(leadingInteger(text), value) << text.substr(0, 40);
}

TEST(RequestReaders, BooleanValueIsExactlyTrue) {
  EXPECT_TRUE(booleanValue("true"));
  for (const char* text : {"True", "true ", "1", ""}) EXPECT_FALSE(booleanValue(text)) << text;
}

TEST(RequestReaders, QuoteTests) {
  EXPECT_TRUE(stringStartsWithQuoteButDoesNotEndWithQuote("\"a"));
  EXPECT_TRUE(stringStartsWithQuoteButDoesNotEndWithQuote("a\""));
  // A lone quote is first and last at once; single quotes do not count.
  for (const char* text : {"", "\"", "\"a\"", "'a"}) {
    EXPECT_FALSE(stringStartsWithQuoteButDoesNotEndWithQuote(text)) << text;
  }

  const std::pair<std::string, std::string> rows[] = {
      {"\"a\"", "a"}, {"'a'", "a"}, {"''", ""}, {"\"\"\"", "\""} /* one pair only */,
      {"\"a'", "\"a'"}, {"\"", "\""}, {"'a", "'a"}};
  for (auto [text, stripped] : rows) {
    const std::string original = text;
    stripEnclosingQuotes(text);
    EXPECT_EQ(text, stripped) << original;
  }
  EXPECT_EQ(withoutEnclosingQuotes("'x y'"), "x y");
}

TEST(RequestReaders, MovieTextsTreatNilUndefinedAndBadUTF8AsEmpty) {
  EXPECT_EQ(myStringWithUTF8String(nullptr), "");
  for (const char* text : {"", "nil", "undefined", "bad \xFF", "cut \xC3", "overlong \xC0\xAF"}) {
    EXPECT_EQ(myStringWithUTF8String(text), "") << text;
  }
  EXPECT_EQ(myStringWithUTF8String("Nil"), "Nil");
  EXPECT_EQ(myStringWithUTF8String("h\xC3\xA9llo"), "h\xC3\xA9llo");
}

TEST(RequestReaders, ObjectPrefixesAreRemovedOnceAndCaseSensitively) {
  const std::pair<const char*, const char*> rows[] = {
      {"zMenu.createMenu", "createMenu"}, {"zSystem.getUserName", "getUserName"}, {"zApplication.quit", "quit"},
      {"zFile.copyFile", "copyFile"}, {"zFTP.simpleGet", "simpleGet"}, {"KWF.quit", "quit"}, {"KW_KWF.quit", "quit"},
      {"zWindow.close", "zWindow.close"}, {"zmenu.createMenu", "zmenu.createMenu"}, {"zMenu.zFile.x", "zFile.x"},
      {"zMenu.", ""}, {"zMenu", "zMenu"}, {"", ""}};
  for (const auto& [text, stripped] : rows) EXPECT_EQ(stripObjectPrefix(text), stripped) << text;
}

TEST(RequestReaders, ParametersAreFoundBehindQuestionMarkOrAmpersand) {
  int32_t n = -1;
  ASSERT_EQ(readIntParameter("x&width=5?height=7", "width", n), kStatusOK);
  EXPECT_EQ(n, 5);
  ASSERT_EQ(readIntParameter("x&width=5?height=7", "height", n), kStatusOK);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(readIntParameter("f?w=1", "width", n), kStatusBadParameter);
  EXPECT_EQ(n, 7);

  // A name that is the suffix of another is not confused with it.
  std::string s;
  ASSERT_EQ(readStringParameter("f?userName=ann&name=bob", "name", s), kStatusOK);
  EXPECT_EQ(s, "bob");
  s = "kept";
  // Missing, only as a suffix, in another case, or without "=".
  for (const char* request : {"f?userName=ann", "f?Name=ann", "f?name"}) {
    EXPECT_EQ(readStringParameter(request, "name", s), kStatusBadParameter) << request;
  }
  EXPECT_EQ(s, "kept");
}

TEST(RequestReaders, StringValuesAreDecodedAndUnquoted) {
  const std::pair<const char*, const char*> rows[] = {
      {"c?t=%22Hello%22", "Hello"}, {"c?t=%41%6a%6A", "Ajj"}, {"c?t=a+b", "a+b"}, {"c?t='x'&u=1", "x"},
      {"c?t=\"", "\""}, {"c?t=%26&u", "&"} /* an escaped "&" does not end the value */, {"c?t=", ""},
      {"c?t=&u=1", ""}, {"c?t=ab%00cd", "ab"} /* a decoded NUL ends the value */, {"c?t=%C3%A9", "\xC3\xA9"}};
  for (const auto& [request, value] : rows) {
    std::string s = "x";
    ASSERT_EQ(readStringParameter(request, "t", s), kStatusOK) << request;
    EXPECT_EQ(s, value) << request;
  }
  std::string s;
  ASSERT_EQ(readStringParameter("c?t=a&b=c", "t", s, true), kStatusOK);  // the value takes the rest
  EXPECT_EQ(s, "a&b=c");
}

TEST(RequestReaders, BadEscapesFailAndLeaveTheDestination) {
  std::string s = "kept";
  for (const char* request : {"c?t=abc%4", "c?t=%", "c?t=x%4&u=1", "c?t=%zz", "c?t=%4g", "c?t=%%41",
                              "c?t=ab%00%4"}) {
    EXPECT_EQ(readStringParameter(request, "t", s), kStatusBadParameter) << request;
    EXPECT_EQ(s, "kept");
  }
  // A bad escape behind the value's end does not matter.
  ASSERT_EQ(readStringParameter("c?t=ok&u=%", "t", s), kStatusOK);
  EXPECT_EQ(s, "ok");
}

TEST(RequestReaders, BooleanParametersCompareFourLettersIgnoringCaseOrReadANumber) {
  const std::pair<const char*, uint8_t> rows[] = {{"TRUE", 1}, {"True", 1}, {"trueish", 1}, {"7", 1}, {"-1", 1},
                                                  {"yes", 0},  {"false", 0}, {"0", 0},      {"", 0},  {"tru", 0}};
  for (const auto& [value, truth] : rows) {
    uint8_t b = 9;
    EXPECT_EQ(readBoolParameter("c?show=" + std::string(value) + "&z=1", "show", b), kStatusOK);
    EXPECT_EQ(b, truth) << value;
  }
  uint8_t b = 9;
  EXPECT_EQ(readBoolParameter("c?show=tr", "show", b), kStatusOK);  // shorter than "true" at the end of the text
  EXPECT_EQ(b, 0);
  b = 9;
  EXPECT_EQ(readBoolParameter("c?hide=1", "show", b), kStatusBadParameter);
  EXPECT_EQ(b, 9);
}

TEST(RequestReaders, ListSplitterTrimsBracketsAndRejoinsQuotedItems) {
  const std::pair<const char*, Items> rows[] = {
      {"[zSystem,getSpecialFolder,5]", {"zSystem", "getSpecialFolder", "5"}},
      {"[\"zWindow\",\"close\"]", {"zWindow", "close"}},
      {"[[a]]", {"a"}}, {"]a[", {"a"}}, {"[a,[b],c]", {"a", "[b]", "c"}}, {"a", {"a"}}, {"", {""}}, {"[]", {""}},
      {"[[]]]", {""}}, {"[a,,b]", {"a", "", "b"}}, {"[,]", {"", ""}}, {"[ a , b ]", {" a ", " b "}},
      // Quoted items keep their commas.
      {"[zSystem,sendMail,\"a, b\",c]", {"zSystem", "sendMail", "a, b", "c"}}, {"[\"a,b,c\",d]", {"a,b,c", "d"}},
      // A lone quote neither opens nor closes a quoted item; an unclosed one takes the rest.
      {"[\"a,\",b]", {"a,\",b"}}, {"[x,\"a,b,c]", {"x", "a,b,c"}},
      // Every double quote at the ends goes, inner ones stay.
      {"[\"\"a\"b\"\"]", {"a\"b"}}, {"[\"]", {""}}, {"[\",\"]", {"", ""}}};
  for (const auto& [text, items] : rows) EXPECT_EQ(splitListRequest(text), items) << text;
}

TEST(RequestReaders, LongTextsAreReadWhole) {
  const std::string longValue(200000, 'v');
  std::string s;
  ASSERT_EQ(readStringParameter("c?a=1&t=" + longValue + "&z=2", "t", s), kStatusOK);
  EXPECT_EQ(s, longValue);

  std::string escaped;
  for (int i = 0; i < 50000; ++i) escaped += "%41";
  ASSERT_EQ(readStringParameter("c?t=" + escaped, "t", s), kStatusOK);
  EXPECT_EQ(s, std::string(50000, 'A'));

  std::string list = "[";
  for (int i = 0; i < 50000; ++i) list += (i ? ",\"" : "\"") + std::to_string(i) + ",x\"";
  const Items items = splitListRequest(list + "]");
  ASSERT_EQ(items.size(), 50000u);
  EXPECT_EQ(items.back(), "49999,x");

  EXPECT_EQ(splitListRequest("[\"x" + std::string(100000, ',') + "]"), Items{"x" + std::string(100000, ',')});
}

}  // namespace
}  // namespace kw
