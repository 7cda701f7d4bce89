// Tests of making URLs of movie text and of the URL tests and escapes.
#include "mac/net/URLExtras.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

std::string absolute(const std::optional<URL>& url) { return url ? url->absoluteString() : "(none)"; }

TEST(URLExtras, URLWithDataAsStringTrimsAndRestoresLatin1Bytes) {
  EXPECT_EQ(absolute(urlWithDataAsString("  http://x/a\t\n")), "http://x/a");
  // UTF-8 text read as Latin-1 upstream ("Ã©" for "é") gets its bytes back.
  EXPECT_EQ(absolute(urlWithDataAsString("http://x/\xC3\x83\xC2\xA9")), "http://x/%C3%A9");
  // The same through a Windows Latin-1 reading ("â‚¬" for the euro sign).
  EXPECT_EQ(absolute(urlWithDataAsString("http://x/\xC3\xA2\xE2\x80\x9A\xC2\xAC")), "http://x/%E2%82%AC");
  // A character no one-byte encoding holds gives no URL.
  EXPECT_EQ(absolute(urlWithDataAsString("http://x/\xE6\x97\xA5")), "(none)");
  EXPECT_EQ(absolute(urlWithDataAsString("movies/intro.swf")), "(none)");

  const auto base = URL::parse("file:///Res/");
  ASSERT_TRUE(base.has_value());
  EXPECT_EQ(absolute(urlWithDataAsString(" movies/intro.swf ", &*base)), "file:///Res/movies/intro.swf");
}

TEST(URLExtras, URLWithDataReadsUTF8ThenLatin1) {
  const Bytes utf8{'h', 't', 't', 'p', ':', '/', '/', 'x', '/', 0xC3, 0xA9};
  EXPECT_EQ(absolute(urlWithData(utf8)), "http://x/%C3%A9");
  const Bytes latin1{'h', 't', 't', 'p', ':', '/', '/', 'x', '/', 0xE9};
  EXPECT_EQ(absolute(urlWithData(latin1)), "http://x/%E9");
  EXPECT_EQ(absolute(urlWithData(Bytes{})), "(none)");
  const auto base = URL::parse("http://x/a");
  EXPECT_EQ(absolute(urlWithData(Bytes{}, &*base)), "http://x/a");
}

TEST(URLExtras, FileURLWithPathEscapesAndDecodes) {
  const auto url = fileURLWithPath("/My Movies/\xC3\xBC#1.swf");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->absoluteString(), "file:///My%20Movies/%C3%BC%231.swf");
  EXPECT_EQ(url->path(), "/My Movies/\xC3\xBC#1.swf");
  EXPECT_FALSE(fileURLWithPath("relative/a").has_value());
  EXPECT_FALSE(fileURLWithPath("").has_value());
}

TEST(URLExtras, ValidURLsAreWebOrFileURLsInAnyCase) {
  for (const char* text : {"HTTP://x", "https://x", "File:///a"}) EXPECT_TRUE(isValidURL(text)) << text;
  for (const char* text : {"ftp://x", "example.com", "http:/x", ""}) EXPECT_FALSE(isValidURL(text)) << text;
  EXPECT_TRUE(validURL(*URL::parse("HTTPS://x")));
  EXPECT_FALSE(validURL(*URL::parse("ftp://x/")));
}

TEST(URLExtras, JavaScriptURLsGiveTheirDecodedScript) {
  EXPECT_TRUE(isJavaScriptURL("JavaScript:void(0)"));
  EXPECT_FALSE(isJavaScriptURL("javascript"));
  EXPECT_EQ(scriptIfJavaScriptURL("javascript:alert(%22hi%22)"), "alert(\"hi\")");
  EXPECT_EQ(scriptIfJavaScriptURL("JAVASCRIPT:"), "");
  EXPECT_FALSE(scriptIfJavaScriptURL("http://x/javascript:").has_value());
  // The URL parser takes a javascript text only in its "//" form.
  const auto url = URL::parse("javascript://x");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(scriptIfJavaScriptURL(*url), "//x/");
  EXPECT_FALSE(scriptIfJavaScriptURL(*URL::parse("http://x/")).has_value());
}

TEST(URLExtras, OnlyValidPercentEscapesAreReplaced) {
  const std::pair<const char*, const char*> rows[] = {
      {"a%20b%2Fc", "a b/c"}, {"caf%C3%A9", "caf\xC3\xA9"},
      // Escapes that do not form UTF-8 text stay; their valid neighbours are decoded.
      {"%E9t%E9", "%E9t%E9"}, {"%C3%A9%FF%41", "\xC3\xA9%FFA"}, {"%C3", "%C3"}, {"%E2%82%41", "%E2%82A"},
      // Malformed escapes are plain text; one pass only.
      {"100% %zz %4", "100% %zz %4"}, {"%", "%"}, {"%2525", "%25"}};
  for (const auto& [text, decoded] : rows) EXPECT_EQ(stringByReplacingValidPercentEscapes(text), decoded) << text;
}

TEST(URLExtras, PercentEscapesForAPathKeepSlashes) {
  EXPECT_EQ(kwm_stringByAddingPercentEscapes("/a b/c-d_e.f~g"), "/a%20b/c-d_e.f~g");
  EXPECT_EQ(kwm_stringByAddingPercentEscapes("?&=#%:\xC3\xBC"), "%3F%26%3D%23%25%3A%C3%BC");
  EXPECT_EQ(stringByReplacingValidPercentEscapes(kwm_stringByAddingPercentEscapes("x y/%41\xC3\xA9")),
            "x y/%41\xC3\xA9");
}

}  // namespace
}  // namespace kw
