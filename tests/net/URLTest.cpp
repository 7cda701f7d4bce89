// Tests of the URL value type: what the parser accepts, normalises and resolves.
#include "mac/net/URL.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

std::string absolute(std::string_view text, const URL* base = nullptr) {
  const auto url = URL::parse(text, base);
  return url ? url->absoluteString() : "(none)";
}

TEST(URL, AcceptsWebFileAndFTPURLs) {
  const auto web = URL::parse("HTTP://Example.com/a?b#c");
  ASSERT_TRUE(web.has_value());
  EXPECT_EQ(web->scheme(), "http");
  EXPECT_EQ(web->host(), "Example.com");
  EXPECT_EQ(web->escapedPath(), "/a");
  EXPECT_EQ(web->absoluteString(), "http://Example.com/a?b#c");
  EXPECT_FALSE(web->isFileURL());

  EXPECT_EQ(absolute("https://x"), "https://x/");
  EXPECT_EQ(absolute("ftp://host/dir/f.txt"), "ftp://host/dir/f.txt");
  EXPECT_EQ(absolute("http://x/a/../b/./c"), "http://x/b/c");

  const auto file = URL::parse("File:///Users/me/a%20b.swf");
  ASSERT_TRUE(file.has_value());
  EXPECT_TRUE(file->isFileURL());
  EXPECT_EQ(file->absoluteString(), "file:///Users/me/a%20b.swf");
  EXPECT_EQ(file->path(), "/Users/me/a b.swf");
  EXPECT_EQ(absolute("file:///"), "file:///");
}

TEST(URL, RefusesMalformedText) {
  for (const char* text : {"", "no scheme", "example.com/a", "http://exa mple.com/", "http://x/a b",
                           " http://x", "http://x/\x01", "http://", "http://h:99999/", "javascript:alert(1)",
                           "mailto:a@b"}) {
    EXPECT_FALSE(URL::parse(text).has_value()) << text;
  }
}

TEST(URL, EscapesBytesOutsideASCII) {
  EXPECT_EQ(absolute("http://x/\xC3\xA9"), "http://x/%C3%A9");
  EXPECT_EQ(absolute("http://x/\xE9?q=\xFF"), "http://x/%E9?q=%FF");
  const auto url = URL::parse("file:///caf\xC3\xA9");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->path(), "/caf\xC3\xA9");
}

TEST(URL, ResolvesReferencesAgainstABase) {
  const auto base = URL::parse("http://x/a/b?q#f");
  ASSERT_TRUE(base.has_value());
  EXPECT_EQ(absolute("c", &*base), "http://x/a/c");
  EXPECT_EQ(absolute("../c", &*base), "http://x/c");
  EXPECT_EQ(absolute("/abs", &*base), "http://x/abs");
  EXPECT_EQ(absolute("//y/z", &*base), "http://y/z");
  EXPECT_EQ(absolute("?r", &*base), "http://x/a/b?r");
  EXPECT_EQ(absolute("#g", &*base), "http://x/a/b?q#g");
  EXPECT_EQ(absolute("", &*base), "http://x/a/b?q");
  EXPECT_EQ(absolute("https://other/", &*base), "https://other/");
  // Spaces refuse a relative reference as they refuse an absolute one.
  EXPECT_EQ(absolute("c d", &*base), "(none)");

  const auto folder = URL::parse("file:///Apps/My.app/Contents/Resources/");
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(absolute("movies/intro.swf", &*folder), "file:///Apps/My.app/Contents/Resources/movies/intro.swf");
}

}  // namespace
}  // namespace kw
