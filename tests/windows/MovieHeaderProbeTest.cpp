// Tests of the movie header probe on movies made by the SWF writer: header
// fields, the 31-byte tag window, compressed, enciphered and malformed input.
#include "mac/windows/MovieHeaderProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "mac/pluginhost/MovieCipher.h"
#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

namespace kw {
namespace {

using swf::Bytes;
using swf::SwfWriter;

// 550 x 400 pixels, 12.5 frames per second, 24 frames; its header is 21 bytes.
swf::MovieHeader header550(bool compressed = false) {
  swf::MovieHeader header;
  header.compressed = compressed;
  header.version = 9;
  header.frameRate = 0x0C80;
  header.frameCount = 24;
  return header;
}
SwfWriter movie550(bool compressed = false) { return SwfWriter(header550(compressed)); }
Bytes filler(size_t size) { return Bytes(size, 0xAB); }  // a tag body that moves the next tag along
Bytes encipher(Bytes movie) {
  EXPECT_EQ(movieCipher(movie.data(), movie.data(), movie.size(), 1, CipherDirection::Encipher), kStatusOK);
  return movie;
}

// The probe's answer in one line (the signature aside).
std::string summary(const MovieHeaderInfo& i) {
  char colour[16] = "none", text[128];
  if (i.backgroundColor) std::snprintf(colour, sizeof colour, "%x", *i.backgroundColor);
  std::snprintf(text, sizeof text, "status %d v%d rect %d,%d,%d,%d rate %u frames %u bg %s%s", i.status, i.version,
                i.rect.top, i.rect.left, i.rect.bottom, i.rect.right, i.frameRate, i.frameCount, colour,
                i.actionScript3 ? " as3" : "");
  return text;
}
std::string probe(std::span<const uint8_t> bytes) { return summary(probeMovieHeader(bytes)); }
bool as3(const Bytes& movie) { return probeMovieHeader(movie).actionScript3; }
const std::string k550 = "status 0 v9 rect 0,0,400,550 rate 12 frames 24 bg ";

TEST(MovieHeaderProbe, ReadsPlainCompressedAndEncipheredMoviesAndConvertsTwips) {
  for (bool compressed : {false, true}) {
    const Bytes movie = SwfWriter::wrapperLike(header550(compressed), 0, 0x336699).showFrame().end().build();
    for (const Bytes& bytes : {movie, encipher(movie)}) {
      EXPECT_EQ(probeMovieHeader(bytes).signature, compressed ? "CWS" : "FWS");
      EXPECT_EQ(probe(bytes), k550 + "336699");  // 12.5 frames per second: the fraction is dropped
    }
  }
  swf::MovieHeader header;
  header.frame = {39, 2019, 20, 400};  // 1.95, 100.95, 1, 20 pixels: integer division
  header.frameRate = 0xFF01;           // integer byte 255, fraction byte 1
  EXPECT_EQ(probe(SwfWriter(header).build()), "status 0 v10 rect 1,1,20,100 rate 255 frames 0 bg none");
  header.frame = {0, 0x3FFFFFFF, 0, 655340};  // 31-bit fields are clamped, never negative
  EXPECT_EQ(probe(SwfWriter(header).build()), "status 0 v10 rect 0,0,32767,32767 rate 255 frames 0 bg none");
}

TEST(MovieHeaderProbe, AcceptsAnInflateThatStopsEarlyAndProbesLikeTheFirstFourKilobytes) {
  // Shorter than 4096 bytes but inflating far beyond its own length: the output fills up.
  const Bytes small = movie550(true).setBackgroundColor(0x010203).metadata(std::string(5000, 'x')).end().build();
  ASSERT_LT(small.size(), 200U);
  EXPECT_EQ(probeMovieHeader(small).backgroundColor, 0x010203U);
  // Incompressible and long: the 2040 bytes read end in the middle of the stream.
  Bytes noise(100000);
  std::mt19937 random(7);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  SwfWriter writer = SwfWriter::wrapperLike(header550(true), swf::kFileAttributesAS3, 0x0A0B0C);
  const Bytes large = writer.tag(87, noise).end().build();
  EXPECT_EQ(probe(large), k550 + "a0b0c as3");
  EXPECT_EQ(probe(std::span(large).first(4096)), k550 + "a0b0c as3");
  const test::TempDir dir;
  EXPECT_EQ(summary(probeMovieHeader(dir.write("big.swf", large))), k550 + "a0b0c as3");
}

TEST(MovieHeaderProbe, ReadsTagsOnlyWithinTheWindowAndSurvivesLyingLengths) {
  // The 550 x 400 header leaves 18 of the 31 window bytes for tags; a colour counts when all of it is inside.
  const auto colourAfter = [](size_t fillerBody, bool forceLong) {
    SwfWriter writer = movie550();
    writer.tag(40, filler(fillerBody)).tag(swf::kTagSetBackgroundColor, Bytes{0x11, 0x22, 0x33}, forceLong);
    return probeMovieHeader(writer.end().build()).backgroundColor;
  };
  EXPECT_EQ(colourAfter(11, false), 0x112233U);
  EXPECT_EQ(colourAfter(12, false), std::nullopt);
  EXPECT_EQ(colourAfter(40, false), std::nullopt);
  EXPECT_EQ(colourAfter(0, true), 0x112233U);  // long tag header

  const std::pair<Bytes, bool> rows[] = {
      {movie550().tag(swf::kTagDoABCDefine, filler(100)).build(), true},  // a body past the window counts
      {movie550().tag(swf::kTagSymbolClass, filler(100)).build(), true}, {movie550().doABC(filler(100)).build(), true},
      // Code tags and FileAttributes that begin behind the window do not count, and an empty
      // FileAttributes body has no flag byte: the next tag's header is not read as one.
      {movie550().tag(40, filler(30)).doABC(filler(4)).build(), false},
      {movie550().tag(40, filler(30)).fileAttributes(swf::kFileAttributesAS3).build(), false},
      {movie550().tag(swf::kTagFileAttributes, {}).raw(Bytes{0x08, 0x08}).build(), false}};
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(as3(rows[i].first), rows[i].second) << i;
  for (bool compressed : {false, true}) {
    // The real layout: FileAttributes first, the code far behind the metadata.
    const auto movie = [&](uint32_t attributes) {
      return movie550(compressed).fileAttributes(attributes).metadata(std::string(3000, 'm')).doABC(filler(50))
          .showFrame().end().build();
    };
    for (uint32_t attributes : {swf::kFileAttributesAS3, 0x19U}) EXPECT_TRUE(as3(movie(attributes))) << attributes;
    for (uint32_t attributes : {0U, 0x17U}) EXPECT_FALSE(as3(movie(attributes))) << attributes;
    EXPECT_TRUE(as3(encipher(movie(swf::kFileAttributesAS3))));
  }
  for (uint32_t length : {0xFFFFFFFFU, 0xFFFFFFF0U, 0x80000000U, 64U}) {
    SwfWriter writer = movie550();
    writer.raw(Bytes{0xFF, 0x0A, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                     static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)});
    EXPECT_EQ(probe(writer.setBackgroundColor(0xABCDEF).doABC(filler(1)).build()), k550 + "none") << length;
  }
}

TEST(MovieHeaderProbe, RejectsShortAndForeignData) {
  const Bytes plain = movie550().setBackgroundColor(0x123456).build();
  for (size_t length = 0; length <= plain.size(); ++length) {
    const Status expected = length < 3 ? kProbeNotAMovie : length < 21 ? kProbeTooShort : kStatusOK;
    EXPECT_EQ(probeMovieHeader(std::span(plain).first(length)).status, expected) << length;
  }
  EXPECT_EQ(probeMovieHeader(std::span(plain).first(22)).backgroundColor, std::nullopt);
  const Bytes compressed = movie550(true).build();
  for (size_t length = 3; length <= 10; ++length) {
    EXPECT_EQ(probeMovieHeader(std::span(compressed).first(length)).status, kProbeTooShort) << length;
  }
  Bytes foreign = plain;
  foreign[0] = 'Z';  // "ZWS": signed but neither plain nor compressed
  Bytes broken = {'C', 'W', 'S', 9, 100, 0, 0, 0};  // a broken deflate stream inflates to nothing
  broken.resize(64, 0xFF);
  const MovieHeaderInfo text = probeMovieHeader(Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  EXPECT_EQ(std::make_tuple(probeMovieHeader(foreign).status, text.status, text.signature.size(),
                            probeMovieHeader(broken).status),
            std::make_tuple(kProbeNotAMovie, kProbeNotAMovie, 3U, kProbeTooShort));  // deciphered bytes, whatever
}

TEST(MovieHeaderProbe, FileFormsReportFileErrorsAndWriteOnlyOnSuccess) {
  const test::TempDir dir;
  QDRect rect{1, 2, 3, 4};
  EXPECT_EQ(probeMovieSize(dir.path() / "missing.swf", rect), kProbeFileNotFound);
  EXPECT_EQ(rect, (QDRect{1, 2, 3, 4}));
  EXPECT_EQ(probeMovieHeader(dir.path()).status, kProbeReadError);
  EXPECT_EQ(probeMovieHeader(dir.write("empty.swf", {})).status, kProbeNotAMovie);
  // The colour lies behind the window: the host's colour keeps its value.
  const auto file = dir.write("a.swf", movie550(true).fileAttributes(8).tag(40, filler(40)).setBackgroundColor(1)
                                           .build());
  uint32_t rate = 0, frames = 0, colour = 0xFEEDED;
  uint8_t version = 0;
  bool flag = false;
  EXPECT_EQ(probeMovieHeader(file, rect, rate, &frames, &colour, version, flag), kStatusOK);
  EXPECT_EQ(std::make_tuple(colour, rect, frames, flag), std::make_tuple(0xFEEDEDU, QDRect{0, 0, 400, 550}, 24U, true));
  EXPECT_EQ(probeIsActionScript3(dir.write("text.swf", Bytes(100, 'x')), flag), kProbeNotAMovie);
  EXPECT_FALSE(flag);  // cleared first
}

}  // namespace
}  // namespace kw
