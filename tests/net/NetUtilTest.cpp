// Tests of the network utilities: Latin-1 and UTF-8 texts, the string helpers,
// URLs (parsing, resolving, making them of movie text, escapes), byte buffer
// search and replace, header blocks, content type guesses and path mending.
// The window kind names are tested with the window kinds (tests/windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "mac/net/DataExtras.h"
#include "mac/net/HeaderFields.h"
#include "mac/net/MIMEGuess.h"
#include "mac/net/PathExtras.h"
#include "mac/net/StringExtras.h"
#include "mac/net/URLExtras.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(TextEncoding, Latin1ReadingsGiveEveryByteBackAndUTF8ChecksAreStrict) {
  Bytes all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(latin1Bytes(stringWithISOLatin1(all)), all);
  EXPECT_EQ(latin1Bytes(stringWithWindowsLatin1(all)), all);
  // 0x80 the euro sign, 0x93 a left quotation mark; the unassigned 0x81 stays a control character.
  EXPECT_EQ(stringWithWindowsLatin1(Bytes{0x80, 0x93, 0x81}), "\xE2\x82\xAC\xE2\x80\x9C\xC2\x81");
  // U+0100, a CJK character, and bytes that are not UTF-8 have no one-byte form.
  for (const char* text : {"\xC4\x80", "\xE6\x97\xA5", "\xE9"}) EXPECT_FALSE(latin1Bytes(text)) << text;
  EXPECT_TRUE(isValidUTF8("plain \xC3\xA9 \xF0\x9F\x98\x80"));
  // Overlong "/", a surrogate, above U+10FFFF, truncated, a lone continuation byte.
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"}) {
    EXPECT_FALSE(isValidUTF8(bad)) << bad;
  }
}

TEST(StringExtras, CleanTextsAndCompareThemIgnoringASCIICase) {
  using Transform = std::string (*)(std::string_view);
  const std::tuple<Transform, const char*, const char*> transforms[] = {
      {stringByStrippingReturnCharacters, "\r\nhttp://x/\ra\nb\r\n", "http://x/ab"},
      {stringByTrimmingWhitespace, " \t\r\n a b \v\f", "a b"},
      {stringByTrimmingWhitespace, "\xC2\xA0x\xE3\x80\x80", "x"},      // no-break and ideographic spaces
      {stringByTrimmingWhitespace, "\xE2\x80\x8Bx", "\xE2\x80\x8Bx"},  // a zero width space is no space
      {stringByCollapsingNonPrintingCharacters, " one\x7Ftwo\x01\x02three \n\t", "one two three"},
      {filenameByFixingIllegalCharacters, "..a/b:c", "a-b-c"},
      {filenameByFixingIllegalCharacters, "/.hidden.", "-.hidden."}};
  for (const auto& [transform, text, expected] : transforms) EXPECT_EQ(transform(text), expected) << text;

  using Check = bool (*)(std::string_view, std::string_view);
  const std::tuple<Check, const char*, const char*, bool> checks[] = {
      {isCaseInsensitiveEqualToString, "Content-Type", "CONTENT-type", true},
      {isCaseInsensitiveEqualToString, "\xC3\x89", "\xC3\xA9", false},  // E and e acute: ASCII rules only
      {hasCaseInsensitivePrefix, "HTTP://x", "http://", true}, {hasCaseInsensitivePrefix, "http", "http://", false},
      {hasCaseInsensitiveSuffix, "movie.SWF", ".swf", true}, {hasCaseInsensitiveSubstring, "a TEXT/H", "text/h", true},
      {hasCaseInsensitiveSubstring, "abc", "", false}};  // an empty text is never found
  for (const auto& [check, text, other, expected] : checks) EXPECT_EQ(check(text, other), expected) << text << other;
}

std::string absolute(const std::optional<URL>& url) { return url ? url->absoluteString() : "(none)"; }

TEST(URL, ParsesEscapesResolvesAndRefuses) {
  const auto web = URL::parse("HTTP://Example.com/a?b#c");
  const auto file = URL::parse("File:///Users/me/a%20b.swf");
  ASSERT_TRUE(web && file);
  EXPECT_EQ(std::tie(web->scheme(), web->host(), web->escapedPath(), web->absoluteString()),
            std::make_tuple("http", "Example.com", "/a", "http://Example.com/a?b#c"));
  EXPECT_FALSE(web->isFileURL());
  EXPECT_TRUE(file->isFileURL());
  EXPECT_EQ(file->absoluteString(), "file:///Users/me/a%20b.swf");
  EXPECT_EQ(file->path(), "/Users/me/a b.swf");
  const Pairs rows = {
      {"https://x", "https://x/"}, {"http://x/\xE9?q=\xFF", "http://x/%E9?q=%FF"},  // escaped
      // No scheme, white space, control characters, a bad port, a scheme without "//".
      {"example.com/a", "(none)"}, {"http://x/a b", "(none)"}, {"http://x/\x01", "(none)"},
      {"http://h:99999/", "(none)"}, {"javascript:alert(1)", "(none)"}};
  for (const auto& [text, expected] : rows) EXPECT_EQ(absolute(URL::parse(text)), expected) << text;

  const auto base = URL::parse("http://x/a/b?q#f");
  const auto folder = URL::parse("file:///Apps/My.app/Contents/Resources/");
  const Pairs references = {
      {"../c", "http://x/c"}, {"?r", "http://x/a/b?r"}, {"c d", "(none)"},
      // Same-document references keep the whole base and replace only its fragment.
      {"#g", "http://x/a/b?q#g"}, {"", "http://x/a/b?q"}};
  for (const auto& [text, expected] : references) EXPECT_EQ(absolute(URL::parse(text, &*base)), expected) << text;
  EXPECT_EQ(absolute(URL::parse("m/i.swf", &*folder)), "file:///Apps/My.app/Contents/Resources/m/i.swf");
}

TEST(URLExtras, MovieTextIsTrimmedAndItsLatin1BytesRestored) {
  const auto base = URL::parse("file:///Res/");
  const Pairs rows = {
      {"  http://x/a\t\n", "http://x/a"},
      // UTF-8 text read as Latin-1 upstream ("Ã©" for "é") gets its bytes back, also
      // through a Windows Latin-1 reading ("â‚¬" for the euro sign).
      {"http://x/\xC3\x83\xC2\xA9", "http://x/%C3%A9"}, {"http://x/\xC3\xA2\xE2\x80\x9A\xC2\xAC", "http://x/%E2%82%AC"},
      {"http://x/\xE6\x97\xA5", "(none)"},  // no one-byte encoding holds it
      {"movies/intro.swf", "(none)"}};
  for (const auto& [text, expected] : rows) EXPECT_EQ(absolute(urlWithDataAsString(text)), expected) << text;
  EXPECT_EQ(absolute(urlWithDataAsString(" movies/intro.swf ", &*base)), "file:///Res/movies/intro.swf");
  // Bytes are read as UTF-8, else as Latin-1; empty bytes give the base, or nothing.
  EXPECT_EQ(absolute(urlWithData(bytesOf("http://x/\xE9"))), "http://x/%E9");
  EXPECT_EQ(absolute(urlWithData(Bytes{})), "(none)");
  EXPECT_EQ(absolute(urlWithData(Bytes{}, &*base)), "file:///Res/");

  const auto file = fileURLWithPath("/My Movies/\xC3\xBC#1.swf");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->absoluteString(), "file:///My%20Movies/%C3%BC%231.swf");
  EXPECT_EQ(file->path(), "/My Movies/\xC3\xBC#1.swf");
  EXPECT_FALSE(fileURLWithPath("relative/a"));
  EXPECT_EQ(kwm_stringByAddingPercentEscapes("/a b/c-d_e.f~g?&=#%:\xC3\xBC"),
            "/a%20b/c-d_e.f~g%3F%26%3D%23%25%3A%C3%BC");
}

TEST(URLExtras, ValidAndJavaScriptURLsAndValidPercentEscapes) {
  for (const char* text : {"HTTP://x", "File:///a"}) EXPECT_TRUE(isValidURL(text)) << text;
  for (const char* text : {"ftp://x", "http:/x"}) EXPECT_FALSE(isValidURL(text)) << text;
  EXPECT_FALSE(validURL(*URL::parse("ftp://x/")));
  EXPECT_EQ(scriptIfJavaScriptURL("javascript:alert(%22hi%22)"), "alert(\"hi\")");
  EXPECT_EQ(scriptIfJavaScriptURL("JAVASCRIPT:"), "");
  EXPECT_FALSE(scriptIfJavaScriptURL("http://x/javascript:"));
  EXPECT_EQ(scriptIfJavaScriptURL(*URL::parse("javascript://x")), "//x/");  // the parser takes only the "//" form

  const Pairs rows = {
      {"a%20b%2Fc", "a b/c"},
      // Escapes that do not form UTF-8 text stay; their valid neighbours are decoded.
      {"%C3%A9%FF%41", "\xC3\xA9%FFA"}, {"%E2%82%41", "%E2%82A"},
      // Malformed escapes are plain text; one pass only.
      {"100% %zz %4", "100% %zz %4"}, {"%2525", "%25"}};
  for (const auto& [text, decoded] : rows) EXPECT_EQ(stringByReplacingValidPercentEscapes(text), decoded) << text;
}

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
std::string text(const Bytes& data) { return std::string(data.begin(), data.end()); }

TEST(DataExtras, SearchesAndReplacesWithinTheRange) {
  const Bytes data = bytes("xabc"), abc = bytes("abc");
  const Range abc1{1, 3};
  // The match may reach past the range's end, up to the buffer's end; a range that starts behind
  // the match or reaches past the buffer, an empty buffer or pattern, find nothing.
  for (const Range range : {Range{0, 4}, Range{1, 3}, Range{0, 1}}) EXPECT_EQ(rangeOfData(data, &abc, range), abc1);
  for (const Range range : {Range{2, 2}, Range{0, 5}, Range{5, 0}, Range{2, SIZE_MAX}}) {
    EXPECT_FALSE(rangeOfData(data, &abc, range)) << range.location << "+" << range.length;
  }
  EXPECT_FALSE(rangeOfData(data, bytesOf(""), Range{0, 4}));

  const std::tuple<const char*, const char*, const char*, Range, size_t, const char*> rows[] = {
      {"aaa", "a", "aa", {0, 3}, 3, "aaaaaa"},  // a replacement is not searched again
      {"aaaaa", "aa", "b", {0, 5}, 2, "bba"},   // matches do not overlap
      {"xx.xx.xx", "xx", "Y", {2, 5}, 1, "xx.Y.xx"},
      {"abab", "ab", "x", {0, 3}, 1, "xab"},  // the second match reaches past the range
      {"abc", "abc", "x", {0, 4}, 0, "abc"}, {"abc", "abc", "x", {SIZE_MAX, 2}, 0, "abc"}};
  for (const auto& [original, pattern, replacement, range, count, result] : rows) {
    Bytes changed = bytes(original);
    EXPECT_EQ(replaceOccurrencesOfData(changed, bytesOf(pattern), bytesOf(replacement), range), count) << original;
    EXPECT_EQ(text(changed), result) << original << " " << pattern << " " << range.location;
  }
  Bytes cafe = bytes("caf\xC3\xA9 caf\xC3\xA9");
  const std::string accent = "\xC3\xA9", e = "e";
  EXPECT_EQ(replaceOccurrencesOfStringInData(cafe, &accent, &e, Range{0, cafe.size()}), 2u);
  EXPECT_EQ(text(cafe), "cafe cafe");
}

TEST(DataExtras, MissingArgumentsThrowWithTheMethodNameAndTextsCompareAsBytes) {
  Bytes data = bytes("abc");
  const Bytes b = bytes("b");
  const std::string target = "b";
  const auto reason = [](auto&& call) -> std::string {
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
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, nullptr, &b, Range{0, 3}); }), search);
  EXPECT_EQ(reason([&] { replaceOccurrencesOfData(data, &b, nullptr, Range{0, 3}); }), replace);
  EXPECT_EQ(reason([&] { replaceOccurrencesOfStringInData(data, nullptr, &target, Range{0, 3}); }), search);
  EXPECT_EQ(text(data), "abc");

  EXPECT_TRUE(dataContainsString(bytesOf("Content-Length: 5"), "Length"));
  EXPECT_FALSE(dataContainsString(bytesOf("Content-Length: 5"), "length"));
  const std::tuple<Bytes, const char*, bool> rows[] = {
      {bytes("GET"), "get", true}, {bytes("Con"), "content", true},  // the buffer's length decides
      {bytes("content"), "Con", false},                                // never read past the zero
      {Bytes{'a', 0, 'z'}, "A", true}, {bytes("a"), nullptr, false}};
  for (const auto& [buffer, cString, equal] : rows) EXPECT_EQ(isCaseInsensitiveEqualToCString(buffer, cString), equal);
}

TEST(HeaderFields, ParsesFieldsAndFindsTheEndOfTheBlock) {
  const std::pair<const char*, HeaderFields> rows[] = {
      {"content-type: text/html\r\nX-TAG: a\nx-tag: b\r\n c\r\n\r\nbody: no\n",
       {{"Content-Type", "text/html"}, {"X-Tag", "a, b c"}}},
      {"A:\t  spaced  \nUrl: http://x:80/\n", {{"A", "spaced  "}, {"Url", "http://x:80/"}}},
      // Continuations before any field, and lines without a colon, are dropped.
      {" lost\nnocolon\nA: 1\nnocolon\n\tmore\n", {{"A", "1\tmore"}}},
      {"N: caf\xE9\n", {{"N", "caf\xC3\xA9"}}},  // ISO Latin-1
      // A carriage return as the last byte, or no line end at all, ends no line.
      {"A: b\r", {}}, {"A: b\rB: c\r\r", {{"A", "b"}, {"B", "c"}}},
      // A lone CR ends a line; the empty line after it stops the reading.
      {"A: b\r\rB: c\n", {{"A", "b"}}}, {"\nA: b\n", {}}};
  for (const auto& [block, fields] : rows) EXPECT_EQ(parseRFC822HeaderFields(bytesOf(block)), fields) << block;
  EXPECT_EQ(capitalizeRFC822HeaderFieldName("x-1a--b-"), "X-1a--B-");

  const std::pair<const char*, std::optional<size_t>> ends[] = {
      {"A: b\r\n\r\nbody", 8}, {"A: b\r\n\nbody", 7},
      {"\r\nA: b\r\n\r\nbody", 2},  // a leading CR LF ends an empty block
      // Lone carriage returns and mixed LF CR LF are no blank line.
      {"A: b\r\rbody....", std::nullopt}, {"A: b\n\r\nbody...", std::nullopt},
      // Only positions with four bytes after them are looked at.
      {"A: b\r\n\r\n", std::nullopt}, {"A: b\n\nxx", std::nullopt}, {"A: b\n\nxxx", 6}, {"", std::nullopt}};
  for (const auto& [block, end] : ends) EXPECT_EQ(locationAfterFirstBlankLine(bytesOf(block)), end) << block;
  EXPECT_TRUE(startsWithBlankLine(bytesOf("\nbody")));
  EXPECT_FALSE(startsWithBlankLine(bytesOf("\r\nbody")));
}

TEST(MIMEGuess, RecognisesFeedsThenMarkersInOrderInTheFirstKilobyte) {
  const std::pair<std::string, std::optional<std::string_view>> rows[] = {
      {"<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>", "application/rss+xml"},
      {"<!-- c --><FEED xmlns=\"http://www.w3.org/2005/Atom\">", "application/atom+xml"},
      {"<?xml?><rdf:RDF><item/><channel>......", "application/rss+xml"},
      {"<?xml?><html><rss>", "text/html"},
      // A tag must start before the last six bytes, and lie wholly in the buffer.
      {"\x01<rss  ", std::nullopt}, {"\x01<rss   ", "application/rss+xml"}, {"\x01<rdf ..<chann", std::nullopt},
      {"<!DOCTYPE html><HTML><body>", "text/html"},  // "<html>" at a later "<"
      {"\x01\x02 Content-Type: TEXT/HTML; charset=x", "text/html"},
      {"BEGIN:VCARD", "text/vcard"}, {"BEGIN:VCALENDAR", "text/calendar"}, {"begin:vcard and more", "text/plain"},
      {"", "text/plain"}, {"\x01", std::nullopt},
      {"\xFF\xD8\xFF\xE0\x01", "image/jpeg"}, {"\xFF\xD8\xFF", std::nullopt},
      // Only the first kilobyte counts: a "<" before its last six bytes, "text/html" before its last eight.
      {std::string(1017, '\x01') + "<title>", "text/html"}, {std::string(1018, '\x01') + "<title>", std::nullopt},
      {std::string(1018, 'x') + "<title>", "text/plain"}, {std::string(1015, '\x01') + "text/html", "text/html"},
      {std::string(1016, '\x01') + "text/html", std::nullopt}};
  for (const auto& [data, type] : rows) EXPECT_EQ(guessedMIMEType(bytesOf(data)), type) << data;
}

class PathExtrasTest : public ::testing::Test {
 protected:
  // A home folder reached through a link, and a volumes folder with one volume.
  void SetUp() override {
    std::filesystem::create_directories(root_ + "/home/docs");
    std::filesystem::create_directory_symlink(root_ + "/home", root_ + "/link");
    std::filesystem::create_directories(root_ + "/Volumes/KwData");
    std::ofstream(root_ + "/Volumes/KwData/b.txt") << "b";
    std::ofstream(root_ + "/home/a.txt") << "a";
  }
  const test::TempDir temp_;
  const std::string root_ = temp_.path().string();
  PathContext context_{.homeFolder = root_ + "/link", .volumesFolder = root_ + "/Volumes",
                       .startupVolumeName = "KwDisk"};
};

TEST_F(PathExtrasTest, AbbreviatesTheHomeFolderResolvedOrNot) {
  const Pairs rows = {{root_ + "/link/docs", "~/docs"}, {root_ + "/home", "~"},
                      {root_ + "/linked/x", root_ + "/linked/x"}};  // only whole names match
  for (const auto& [path, tilde] : rows) EXPECT_EQ(stringByAbbreviatingWithTildeInPath(path, context_), tilde) << path;
  context_.homeFolder += "/";
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/link/docs", context_), "~/docs");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/etc", PathContext{}), "/etc");
}

TEST_F(PathExtrasTest, MendsPathsThatBeginWithAVolumeName) {
  const std::string a = root_ + "/home/a.txt";
  // The startup volume's name is dropped, with or without the volumes folder in front; another
  // mounted volume moves under the volumes folder. Existing, relative, empty and mended-but-missing
  // paths stay as they are.
  const Pairs rows = {{"/KwDisk" + a, a}, {root_ + "/Volumes/KwDisk" + a, a},
                      {"/KwData/b.txt", root_ + "/Volumes/KwData/b.txt"}, {a, a}, {"KwDisk/a.txt", "KwDisk/a.txt"},
                      {"/KwData/missing.txt", "/KwData/missing.txt"}, {"/KwNone/b.txt", "/KwNone/b.txt"}};
  for (const auto& [path, fixed] : rows) EXPECT_EQ(fixedCarbonPOSIXPath(path, context_), fixed) << path;
  context_.startupVolumeName.clear();
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwDisk" + a, context_), "/KwDisk" + a);
}

}  // namespace
}  // namespace kw
