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

TEST(RequestReaders, LeadingIntegerReadsSignAndDigitsOnly) {
  EXPECT_EQ(leadingInteger(""), 0);
  EXPECT_EQ(leadingInteger("abc"), 0);
  EXPECT_EQ(leadingInteger("-"), 0);
  EXPECT_EQ(leadingInteger("12abc"), 12);
  EXPECT_EQ(leadingInteger("-5&x=1"), -5);
  EXPECT_EQ(leadingInteger("+7"), 7);
  EXPECT_EQ(leadingInteger(" 5"), 0);
  EXPECT_EQ(leadingInteger("--5"), 0);
  EXPECT_EQ(leadingInteger("007"), 7);
  EXPECT_EQ(leadingInteger("2147483647"), INT32_MAX);
  EXPECT_EQ(leadingInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(leadingInteger("2147483648"), INT32_MIN);  // wraps modulo 2^32
  EXPECT_EQ(leadingInteger("4294967297"), 1);
  EXPECT_EQ(leadingInteger("42949672965"), 5);
  EXPECT_EQ(leadingInteger("4294967296429496729642949672967"), 7);
  EXPECT_EQ(leadingInteger(std::string(5000, '0') + "42"), 42);
}

TEST(RequestReaders, BooleanValueIsExactlyTrue) {
  EXPECT_TRUE(booleanValue("true"));
  EXPECT_FALSE(booleanValue("True"));
  EXPECT_FALSE(booleanValue("true "));
  EXPECT_FALSE(booleanValue("1"));
  EXPECT_FALSE(booleanValue(""));
}

TEST(RequestReaders, QuoteTests) {
  EXPECT_FALSE(stringStartsWithQuoteButDoesNotEndWithQuote(""));
  EXPECT_FALSE(stringStartsWithQuoteButDoesNotEndWithQuote("\""));  // first and last are the same quote
  EXPECT_TRUE(stringStartsWithQuoteButDoesNotEndWithQuote("\"a"));
  EXPECT_TRUE(stringStartsWithQuoteButDoesNotEndWithQuote("a\""));
  EXPECT_FALSE(stringStartsWithQuoteButDoesNotEndWithQuote("\"a\""));
  EXPECT_FALSE(stringStartsWithQuoteButDoesNotEndWithQuote("'a"));

  const auto stripped = [](std::string text) {
    stripEnclosingQuotes(text);
    return text;
  };
  EXPECT_EQ(stripped("\"a\""), "a");
  EXPECT_EQ(stripped("'a'"), "a");
  EXPECT_EQ(stripped("''"), "");
  EXPECT_EQ(stripped("\"\"\""), "\"");  // one pair only
  EXPECT_EQ(stripped("\"a'"), "\"a'");
  EXPECT_EQ(stripped("\""), "\"");
  EXPECT_EQ(stripped("'a"), "'a");
  EXPECT_EQ(withoutEnclosingQuotes("'x y'"), "x y");
}

TEST(RequestReaders, MovieTextsTreatNilAndUndefinedAsEmpty) {
  EXPECT_EQ(myStringWithUTF8String(nullptr), "");
  EXPECT_EQ(myStringWithUTF8String(""), "");
  EXPECT_EQ(myStringWithUTF8String("nil"), "");
  EXPECT_EQ(myStringWithUTF8String("undefined"), "");
  EXPECT_EQ(myStringWithUTF8String("Nil"), "Nil");
  EXPECT_EQ(myStringWithUTF8String("h\xC3\xA9llo"), "h\xC3\xA9llo");
  EXPECT_EQ(myStringWithUTF8String("bad \xFF"), "");
  EXPECT_EQ(myStringWithUTF8String("cut \xC3"), "");
  EXPECT_EQ(myStringWithUTF8String("overlong \xC0\xAF"), "");
}

TEST(RequestReaders, ObjectPrefixesAreRemovedOnceAndCaseSensitively) {
  EXPECT_EQ(stripObjectPrefix("zMenu.createMenu"), "createMenu");
  EXPECT_EQ(stripObjectPrefix("zSystem.getUserName"), "getUserName");
  EXPECT_EQ(stripObjectPrefix("zApplication.quit"), "quit");
  EXPECT_EQ(stripObjectPrefix("zFile.copyFile"), "copyFile");
  EXPECT_EQ(stripObjectPrefix("zFTP.simpleGet"), "simpleGet");
  EXPECT_EQ(stripObjectPrefix("KWF.quit"), "quit");
  EXPECT_EQ(stripObjectPrefix("KW_KWF.quit"), "quit");
  EXPECT_EQ(stripObjectPrefix("zWindow.close"), "zWindow.close");
  EXPECT_EQ(stripObjectPrefix("zmenu.createMenu"), "zmenu.createMenu");
  EXPECT_EQ(stripObjectPrefix("zMenu.zFile.x"), "zFile.x");
  EXPECT_EQ(stripObjectPrefix("zMenu."), "");
  EXPECT_EQ(stripObjectPrefix("zMenu"), "zMenu");
  EXPECT_EQ(stripObjectPrefix(""), "");
}

TEST(RequestReaders, ParametersAreFoundBehindQuestionMarkOrAmpersand) {
  std::string s;
  int32_t n = -1;
  ASSERT_EQ(readIntParameter("x?width=5&height=7", "width", n), kStatusOK);
  EXPECT_EQ(n, 5);
  ASSERT_EQ(readIntParameter("x&width=5?height=7", "width", n), kStatusOK);
  EXPECT_EQ(n, 5);
  ASSERT_EQ(readIntParameter("x&width=5?height=7", "height", n), kStatusOK);
  EXPECT_EQ(n, 7);

  // A name that is the suffix of another is not confused with it.
  ASSERT_EQ(readStringParameter("f?userName=ann&name=bob", "name", s), kStatusOK);
  EXPECT_EQ(s, "bob");
  s = "kept";
  EXPECT_EQ(readStringParameter("f?userName=ann", "name", s), kStatusBadParameter);
  EXPECT_EQ(s, "kept");
  EXPECT_EQ(readStringParameter("f?Name=ann", "name", s), kStatusBadParameter);  // case-sensitive
  EXPECT_EQ(readStringParameter("f?name", "name", s), kStatusBadParameter);       // no "="
  n = 3;
  EXPECT_EQ(readIntParameter("f?w=1", "width", n), kStatusBadParameter);
  EXPECT_EQ(n, 3);
}

TEST(RequestReaders, StringValuesAreDecodedAndUnquoted) {
  const auto read = [](std::string_view request, std::string& out, bool amp = false) {
    return readStringParameter(request, "t", out, amp);
  };
  std::string s;
  ASSERT_EQ(read("c?t=%22Hello%22", s), kStatusOK);
  EXPECT_EQ(s, "Hello");
  ASSERT_EQ(read("c?t=%41%6a%6A", s), kStatusOK);
  EXPECT_EQ(s, "Ajj");
  ASSERT_EQ(read("c?t=a+b", s), kStatusOK);
  EXPECT_EQ(s, "a+b");
  ASSERT_EQ(read("c?t='x'&u=1", s), kStatusOK);
  EXPECT_EQ(s, "x");
  ASSERT_EQ(read("c?t=\"", s), kStatusOK);
  EXPECT_EQ(s, "\"");
  ASSERT_EQ(read("c?t=%26&u", s), kStatusOK);  // an escaped "&" does not end the value
  EXPECT_EQ(s, "&");
  ASSERT_EQ(read("c?t=a&b=c", s, true), kStatusOK);
  EXPECT_EQ(s, "a&b=c");
  ASSERT_EQ(read("c?t=", s), kStatusOK);
  EXPECT_EQ(s, "");
  s = "x";
  ASSERT_EQ(read("c?t=&u=1", s), kStatusOK);
  EXPECT_EQ(s, "");
  ASSERT_EQ(read("c?t=ab%00cd", s), kStatusOK);  // a decoded NUL ends the value
  EXPECT_EQ(s, "ab");
  ASSERT_EQ(read("c?t=%C3%A9", s), kStatusOK);
  EXPECT_EQ(s, "\xC3\xA9");
}

TEST(RequestReaders, BadEscapesFailAndLeaveTheDestination) {
  std::string s = "kept";
  for (const char* request : {"c?t=abc%4", "c?t=%", "c?t=x%4&u=1", "c?t=%zz", "c?t=%4g", "c?t=%%41",
                              "c?t=ab%00%4"}) {
    SCOPED_TRACE(request);
    EXPECT_EQ(readStringParameter(request, "t", s), kStatusBadParameter);
    EXPECT_EQ(s, "kept");
  }
  // A bad escape behind the value's end does not matter.
  ASSERT_EQ(readStringParameter("c?t=ok&u=%", "t", s), kStatusOK);
  EXPECT_EQ(s, "ok");
}

TEST(RequestReaders, BooleanParameters) {
  const auto truth = [](std::string_view value) {
    uint8_t b = 9;
    const Status status = readBoolParameter("c?show=" + std::string(value) + "&z=1", "show", b);
    EXPECT_EQ(status, kStatusOK);
    return b;
  };
  EXPECT_EQ(truth("TRUE"), 1);
  EXPECT_EQ(truth("True"), 1);
  EXPECT_EQ(truth("trueish"), 1);
  EXPECT_EQ(truth("7"), 1);
  EXPECT_EQ(truth("-1"), 1);
  EXPECT_EQ(truth("yes"), 0);
  EXPECT_EQ(truth("false"), 0);
  EXPECT_EQ(truth("0"), 0);
  EXPECT_EQ(truth(""), 0);
  EXPECT_EQ(truth("tru"), 0);
  uint8_t b = 9;
  EXPECT_EQ(readBoolParameter("c?show=tr", "show", b), kStatusOK);  // shorter than "true" at the end of the text
  EXPECT_EQ(b, 0);
  b = 9;
  EXPECT_EQ(readBoolParameter("c?hide=1", "show", b), kStatusBadParameter);
  EXPECT_EQ(b, 9);
}

TEST(RequestReaders, ListSplitterTrimsBracketsAndRejoinsQuotedItems) {
  EXPECT_EQ(splitListRequest("[zSystem,getSpecialFolder,5]"), (Items{"zSystem", "getSpecialFolder", "5"}));
  EXPECT_EQ(splitListRequest("[\"zWindow\",\"close\"]"), (Items{"zWindow", "close"}));
  EXPECT_EQ(splitListRequest("[[a]]"), (Items{"a"}));
  EXPECT_EQ(splitListRequest("]a["), (Items{"a"}));
  EXPECT_EQ(splitListRequest("[a,[b],c]"), (Items{"a", "[b]", "c"}));
  EXPECT_EQ(splitListRequest("a"), (Items{"a"}));
  EXPECT_EQ(splitListRequest(""), (Items{""}));
  EXPECT_EQ(splitListRequest("[]"), (Items{""}));
  EXPECT_EQ(splitListRequest("[[]]]"), (Items{""}));
  EXPECT_EQ(splitListRequest("[a,,b]"), (Items{"a", "", "b"}));
  EXPECT_EQ(splitListRequest("[,]"), (Items{"", ""}));
  EXPECT_EQ(splitListRequest("[ a , b ]"), (Items{" a ", " b "}));  // spaces stay

  // Quoted items keep their commas.
  EXPECT_EQ(splitListRequest("[zSystem,sendMail,\"a, b\",c]"), (Items{"zSystem", "sendMail", "a, b", "c"}));
  EXPECT_EQ(splitListRequest("[\"a,b,c\",d]"), (Items{"a,b,c", "d"}));
  // A lone quote neither opens nor closes a quoted item.
  EXPECT_EQ(splitListRequest("[\"a,\",b]"), (Items{"a,\",b"}));
  // An unclosed quote takes the rest of the list.
  EXPECT_EQ(splitListRequest("[x,\"a,b,c]"), (Items{"x", "a,b,c"}));
  // Every double quote at the ends goes, inner ones stay.
  EXPECT_EQ(splitListRequest("[\"\"a\"b\"\"]"), (Items{"a\"b"}));
  EXPECT_EQ(splitListRequest("[\"]"), (Items{""}));
  EXPECT_EQ(splitListRequest("[\",\"]"), (Items{"", ""}));
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

  const Items unclosed = splitListRequest("[\"x" + std::string(100000, ',') + "]");
  ASSERT_EQ(unclosed.size(), 1u);
  EXPECT_EQ(unclosed[0], "x" + std::string(100000, ','));
}

}  // namespace
}  // namespace kw
