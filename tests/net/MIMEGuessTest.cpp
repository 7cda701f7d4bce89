// Tests of the content type guesses, including randomized buffers around the
// 1,024-byte window.
#include "mac/net/MIMEGuess.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace kw {
namespace {

std::optional<std::string_view> guess(std::string_view text) { return guessedMIMEType(bytesOf(text)); }
std::optional<std::string_view> feed(std::string_view text) { return guessedMIMETypeForXML(bytesOf(text)); }

TEST(MIMEGuess, RecognisesFeeds) {
  EXPECT_EQ(feed("<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel>"), "application/rss+xml");
  EXPECT_EQ(feed("<!-- c --><FEED xmlns=\"http://www.w3.org/2005/Atom\">"), "application/atom+xml");
  EXPECT_EQ(feed("<?xml?><rdf:RDF><item/><channel>......"), "application/rss+xml");
  EXPECT_FALSE(feed("<?xml?><rdf:RDF><item/></rdf:RDF>").has_value());
  EXPECT_FALSE(feed("<?xml?><html><rss>").has_value());
  EXPECT_FALSE(feed("no tags at all here").has_value());
  // A tag must start before the last six bytes of the window.
  EXPECT_FALSE(feed("<rss  ").has_value());
  EXPECT_EQ(feed("<rss   "), "application/rss+xml");
  // A tag text cut off by the end of the buffer does not match.
  EXPECT_FALSE(feed("<rdf ..<chann").has_value());
}

TEST(MIMEGuess, GuessesByMarkersInOrder) {
  const std::pair<const char*, const char*> rows[] = {
      {"<?xml version=\"1.0\"?><rss><channel><title>x</title>", "application/rss+xml"},
      {"<!DOCTYPE html><HTML><body>", "text/html"},  // "<html>" at a later "<"
      {"junk <a href=x> more", "text/html"}, {"\x01\x02 Content-Type: TEXT/HTML; charset=x", "text/html"},
      {"BEGIN:VCARD", "text/vcard"}, {"BEGIN:VCARD\n", "text/vcard"}, {"BEGIN:VCARD\r\nVERSION:3.0\r\n", "text/vcard"},
      {"BEGIN:VCALENDAR", "text/calendar"}, {"BEGIN:VCALENDAR\n", "text/calendar"},
      {"begin:vcard and more", "text/plain"}, {"just words\tand\r\nlines", "text/plain"}, {"", "text/plain"}};
  for (const auto& [text, type] : rows) EXPECT_EQ(guess(text), type) << text;
  EXPECT_FALSE(guess("\x01").has_value());
  EXPECT_EQ(guessedMIMEType(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}), "image/jpeg");
  EXPECT_FALSE(guessedMIMEType(Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10}).has_value());
  EXPECT_FALSE(guessedMIMEType(Bytes{0xFF, 0xD8, 0xFF}).has_value());
}

TEST(MIMEGuess, LooksOnlyAtTheFirstKilobyte) {
  // A "<" counts when it lies before the last six of the first 1,024 bytes.
  EXPECT_EQ(guess(std::string(1017, '\x01') + "<title>"), "text/html");
  EXPECT_EQ(guess(std::string(1018, '\x01') + "<title>"), std::nullopt);
  EXPECT_EQ(guess(std::string(1018, 'x') + "<title>"), "text/plain");
  // "text/html" counts when it starts before the last eight.
  EXPECT_EQ(guess(std::string(1015, '\x01') + "text/html"), "text/html");
  EXPECT_EQ(guess(std::string(1016, '\x01') + "text/html"), std::nullopt);
}

TEST(MIMEGuess, RandomBuffersGiveAKnownAnswer) {
  const std::set<std::string_view> known = {"application/rss+xml", "application/atom+xml", "text/html",
                                            "text/vcard", "text/calendar", "text/plain", "image/jpeg"};
  static constexpr std::string_view kPieces[] = {"<rss", "<feed", "<rdf", "<channel", "<?", "<!", "<html>",
                                                 "<a ", "text/html", "<", "x", "\xFF\xD8\xFF\xE0", "\x01"};
  std::mt19937 random(1024);
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> count(0, 400);
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    for (size_t n = count(random); n > 0; --n) {
      text += (n % 3 == 0) ? std::string(1, static_cast<char>(byte(random))) : std::string(kPieces[pick(random)]);
    }
    // Exact-size heap copies let the address sanitizer see any read past the end.
    const Bytes bytes(text.begin(), text.end());
    const auto type = guessedMIMEType(bytes);
    if (type) {
      EXPECT_TRUE(known.contains(*type)) << *type;
    }
    const auto feedType = guessedMIMETypeForXML(bytes);
    if (feedType) {
      EXPECT_EQ(type, feedType);
    }
  }
}

}  // namespace
}  // namespace kw
