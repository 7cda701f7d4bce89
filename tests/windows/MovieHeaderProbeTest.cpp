// Tests of the movie header probe on movies made by the SWF writer: header
// fields, the 31-byte tag window, compressed, enciphered and malformed input.
#include "mac/windows/MovieHeaderProbe.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "mac/pluginhost/MovieCipher.h"
#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

namespace kw {
namespace {

using swf::Bytes;
using swf::MovieHeader;
using swf::SwfWriter;

MovieHeader header550(bool compressed = false) {
  MovieHeader header;
  header.compressed = compressed;
  header.version = 9;
  header.frame = {0, 11000, 0, 8000};
  header.frameRate = 0x0C80;  // 12.5
  header.frameCount = 24;
  return header;
}

// A tag whose body is `size` filler bytes, to move the next tag along.
Bytes filler(size_t size) { return Bytes(size, 0xAB); }

Bytes encipher(Bytes movie) {
  EXPECT_EQ(movieCipher(movie.data(), movie.data(), movie.size(), 1, CipherDirection::Encipher), kStatusOK);
  return movie;
}

// The probe's answer in one line (the signature aside), for compact comparisons.
std::string summary(const MovieHeaderInfo& i) {
  std::ostringstream out;
  out << "status " << i.status << " v" << int{i.version} << " rect " << i.rect.top << ',' << i.rect.left << ','
      << i.rect.bottom << ',' << i.rect.right << " rate " << i.frameRate << " frames " << i.frameCount << " bg ";
  if (i.backgroundColor) {
    out << std::hex << *i.backgroundColor;
  } else {
    out << "none";
  }
  return out.str() + (i.actionScript3 ? " as3" : "");
}
std::string probe(std::span<const uint8_t> bytes) { return summary(probeMovieHeader(bytes)); }

const std::string k550 = "status 0 v9 rect 0,0,400,550 rate 12 frames 24 bg 336699";

// A 550 x 400 movie written by hand: n = 15, Xmax 11000 and Ymax 8000 twips,
// 12.5 frames per second, 24 frames, SetBackgroundColor 0x336699, End.
const Bytes kHandWritten = {'F',  'W',  'S',  9,    28,   0,    0,    0,    0x78, 0x00,
                            0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x80, 0x0C, 24,
                            0,    0x43, 0x02, 0x33, 0x66, 0x99, 0x00, 0x00};

TEST(MovieHeaderProbe, AgreesWithAHandWrittenMovieAndTheWriter) {
  EXPECT_EQ(probe(kHandWritten), k550);
  SwfWriter writer(header550());
  writer.setBackgroundColor(0x336699).end();
  EXPECT_EQ(writer.build(), kHandWritten);

}

TEST(MovieHeaderProbe, ReadsTheHeaderOfPlainCompressedAndEncipheredMovies) {
  for (bool compressed : {false, true}) {
    const Bytes movie = SwfWriter::wrapperLike(header550(compressed), 0, 0x336699).showFrame().end().build();
    for (const Bytes& bytes : {movie, encipher(movie)}) {
      const MovieHeaderInfo info = probeMovieHeader(bytes);
      EXPECT_EQ(info.signature, compressed ? "CWS" : "FWS");
      EXPECT_EQ(summary(info), k550);  // 12.5 frames per second: the fraction is dropped
    }
  }
}

TEST(MovieHeaderProbe, AcceptsAnInflateThatStopsEarly) {
  // Shorter than 4096 bytes but inflating far beyond its own length: the output fills up.
  const Bytes small =
      SwfWriter(header550(true)).setBackgroundColor(0x010203).metadata(std::string(5000, 'x')).end().build();
  ASSERT_LT(small.size(), 200U);
  EXPECT_EQ(probeMovieHeader(small).backgroundColor, 0x010203U);

  // Incompressible and long: the 2040 bytes read end in the middle of the stream.
  Bytes noise(100000);
  std::mt19937 random(7);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  const Bytes large = SwfWriter(header550(true)).setBackgroundColor(0x010203).tag(87, noise).end().build();
  ASSERT_GT(large.size(), 100000U);
  EXPECT_EQ(probe(large), "status 0 v9 rect 0,0,400,550 rate 12 frames 24 bg 10203");
}

TEST(MovieHeaderProbe, ConvertsTwipsToPixelsByIntegerDivisionAndClamps) {
  MovieHeader header;
  header.frame = {39, 2019, 20, 400};  // 1.95, 100.95, 1, 20 pixels
  header.frameRate = 0xFF01;           // integer byte 255, fraction byte 1
  EXPECT_EQ(probe(SwfWriter(header).build()), "status 0 v10 rect 1,1,20,100 rate 255 frames 0 bg none");

  // The widest rectangle (31-bit fields) does not wrap into negative pixels.
  header.frame = {0, 0x3FFFFFFF, 0, 655340};
  EXPECT_EQ(probe(SwfWriter(header).build()), "status 0 v10 rect 0,0,32767,32767 rate 255 frames 0 bg none");
}

TEST(MovieHeaderProbe, ReportsTheBackgroundColourOnlyWhenItLiesInsideTheWindow) {
  // The 550 x 400 header leaves 18 of the 31 window bytes for tags.
  const auto colourAfter = [](size_t fillerBody, bool forceLong = false) {
    SwfWriter writer(header550());
    writer.tag(40, filler(fillerBody)).tag(swf::kTagSetBackgroundColor, Bytes{0x11, 0x22, 0x33}, forceLong);
    return probeMovieHeader(writer.end().build()).backgroundColor;
  };
  EXPECT_EQ(colourAfter(11), 0x112233U);       // colour ends on the last window byte
  EXPECT_EQ(colourAfter(12), std::nullopt);    // last colour byte outside
  EXPECT_EQ(colourAfter(40), std::nullopt);    // whole tag outside
  EXPECT_EQ(colourAfter(0, true), 0x112233U);  // long tag header

  // The host's out-parameter keeps its value when no colour was met.
  const test::TempDir dir;
  const auto file = dir.write("a.swf", SwfWriter(header550()).tag(40, filler(40)).setBackgroundColor(1).end().build());
  QDRect rect;
  uint32_t rate = 0;
  uint32_t frames = 0;
  uint32_t colour = 0xFEEDED;
  uint8_t version = 0;
  bool as3 = true;
  EXPECT_EQ(probeMovieHeader(file, rect, rate, &frames, &colour, version, as3), kStatusOK);
  EXPECT_EQ(colour, 0xFEEDEDU);
  EXPECT_EQ(rect, (QDRect{0, 0, 400, 550}));
  EXPECT_EQ(frames, 24U);
  EXPECT_FALSE(as3);
}

TEST(MovieHeaderProbe, FindsActionScript3ByCodeTagsOrFileAttributesWithinTheWindow) {
  for (uint16_t code : {swf::kTagDoABCDefine, swf::kTagSymbolClass, swf::kTagDoABC}) {
    // A body running past the window still counts.
    EXPECT_TRUE(probeMovieHeader(SwfWriter(header550()).tag(code, filler(100)).build()).actionScript3) << code;
  }
  for (bool compressed : {false, true}) {
    // The real layout: FileAttributes first, the code far behind the metadata.
    const auto movie = [&](uint32_t attributes) {
      return SwfWriter(header550(compressed)).fileAttributes(attributes).metadata(std::string(3000, 'm'))
          .doABC(filler(50)).showFrame().end().build();
    };
    const std::pair<uint32_t, bool> rows[] = {{swf::kFileAttributesAS3, true}, {0x19, true}, {0, false}, {0x17, false}};
    for (const auto& [attributes, as3] : rows) {
      EXPECT_EQ(probeMovieHeader(movie(attributes)).actionScript3, as3) << attributes << " " << compressed;
    }
    EXPECT_TRUE(probeMovieHeader(encipher(movie(swf::kFileAttributesAS3))).actionScript3);
  }
  // Code tags and FileAttributes that begin behind the window do not count.
  EXPECT_FALSE(probeMovieHeader(SwfWriter(header550()).tag(40, filler(30)).doABC(filler(4)).build()).actionScript3);
  EXPECT_FALSE(probeMovieHeader(
      SwfWriter(header550()).tag(40, filler(30)).fileAttributes(swf::kFileAttributesAS3).build()).actionScript3);
  // An empty FileAttributes body has no flag byte: the next tag's header is not read as one.
  EXPECT_FALSE(probeMovieHeader(
      SwfWriter(header550()).tag(swf::kTagFileAttributes, {}).raw(Bytes{0x08, 0x08}).build()).actionScript3);
}

TEST(MovieHeaderProbe, SurvivesLyingTagLengths) {
  for (uint32_t length : {0xFFFFFFFFU, 0xFFFFFFF0U, 0x80000000U, 64U}) {
    SwfWriter writer(header550());
    writer.raw(Bytes{0xFF, 0x0A, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                     static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)});
    writer.setBackgroundColor(0xABCDEF).doABC(filler(1));
    EXPECT_EQ(probe(writer.build()), "status 0 v9 rect 0,0,400,550 rate 12 frames 24 bg none") << length;
  }
}

TEST(MovieHeaderProbe, RejectsShortAndForeignData) {
  const Bytes plain = SwfWriter(header550()).setBackgroundColor(0x123456).build();  // header: 21 bytes
  for (size_t length = 0; length <= plain.size(); ++length) {
    const Status expected = length < 3 ? kProbeNotAMovie : length < 21 ? kProbeTooShort : kStatusOK;
    EXPECT_EQ(probeMovieHeader(std::span(plain).first(length)).status, expected) << length;
  }
  EXPECT_EQ(probeMovieHeader(std::span(plain).first(22)).backgroundColor, std::nullopt);

  const Bytes compressed = SwfWriter(header550(true)).setBackgroundColor(0x123456).build();
  for (size_t length = 3; length <= 10; ++length) {
    EXPECT_EQ(probeMovieHeader(std::span(compressed).first(length)).status, kProbeTooShort) << length;
  }

  Bytes foreign = plain;
  foreign[0] = 'Z';  // "ZWS": signed but neither plain nor compressed
  EXPECT_EQ(probeMovieHeader(foreign).status, kProbeNotAMovie);
  const MovieHeaderInfo text = probeMovieHeader(Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
  EXPECT_EQ(text.status, kProbeNotAMovie);
  EXPECT_EQ(text.signature.size(), 3U);  // the deciphered bytes, whatever they are

  // A broken deflate stream inflates to nothing.
  Bytes broken = {'C', 'W', 'S', 9, 100, 0, 0, 0};
  broken.resize(64, 0xFF);
  EXPECT_EQ(probeMovieHeader(broken).status, kProbeTooShort);
}

TEST(MovieHeaderProbe, ReportsFileErrorsAndUsesTheShortForms) {
  const test::TempDir dir;
  QDRect rect{1, 2, 3, 4};
  EXPECT_EQ(probeMovieSize(dir.path() / "missing.swf", rect), kProbeFileNotFound);
  EXPECT_EQ(rect, (QDRect{1, 2, 3, 4}));  // not written on failure
  EXPECT_EQ(probeMovieHeader(dir.path()).status, kProbeReadError);
  EXPECT_EQ(probeMovieHeader(dir.write("empty.swf", {})).status, kProbeNotAMovie);

  const auto as3 = dir.write("as3.swf", SwfWriter(header550(true)).fileAttributes(swf::kFileAttributesAS3).build());
  bool flag = false;
  EXPECT_EQ(probeIsActionScript3(as3, flag), kStatusOK);
  EXPECT_TRUE(flag);
  EXPECT_EQ(probeMovieSize(as3, rect), kStatusOK);
  EXPECT_EQ(rect, (QDRect{0, 0, 400, 550}));

  EXPECT_EQ(probeIsActionScript3(dir.write("text.swf", Bytes(100, 'x')), flag), kProbeNotAMovie);
  EXPECT_FALSE(flag);  // cleared first
}

TEST(MovieHeaderProbe, ProbesABigCompressedMovieLikeItsFirstFourKilobytes) {
  MovieHeader header = header550(true);
  header.compressionLevel = 0;  // stored blocks: the file really is 50 MB
  SwfWriter writer = SwfWriter::wrapperLike(header, swf::kFileAttributesAS3, 0x0A0B0C);
  const Bytes movie = writer.tag(87, Bytes(50U << 20, 0x5A)).showFrame().end().build();
  ASSERT_GT(movie.size(), 50U << 20);

  const std::string whole = probe(movie);
  EXPECT_EQ(whole, "status 0 v9 rect 0,0,400,550 rate 12 frames 24 bg a0b0c as3");
  EXPECT_EQ(probe(std::span(movie).first(4096)), whole);
  const test::TempDir dir;
  EXPECT_EQ(summary(probeMovieHeader(dir.write("big.swf", movie))), whole);
}

// Random movies probe alike whole, as 4 KB and 2 KB prefixes, compressed and enciphered.
TEST(MovieHeaderProbe, GivesTheSameAnswerForEveryEncodingOfAMovie) {
  std::mt19937 random(20240607);
  auto pick = [&](uint32_t bound) { return std::uniform_int_distribution<uint32_t>(0, bound - 1)(random); };
  for (int round = 0; round < 200; ++round) {
    MovieHeader header;
    header.version = static_cast<uint8_t>(pick(40));
    header.frame = {static_cast<int32_t>(pick(2000)), static_cast<int32_t>(pick(1U << 20)),
                    static_cast<int32_t>(pick(2000)), static_cast<int32_t>(pick(1U << 16))};
    header.frameRate = static_cast<uint16_t>(pick(65536));
    header.minRectBits = static_cast<uint8_t>(pick(32));
    SwfWriter writer(header);
    const uint16_t codes[] = {9, 69, 72, 76, 82, 77, 40, 1};
    for (uint32_t tags = pick(6); tags > 0; --tags) {
      Bytes body(pick(3) == 0 ? pick(6000) : pick(12));
      for (uint8_t& byte : body) byte = static_cast<uint8_t>(pick(256));
      writer.tag(codes[pick(8)], body, pick(4) == 0);
    }
    const Bytes plain = writer.build();
    writer.header().compressed = true;
    const Bytes compressed = writer.build();
    const std::string expected = probe(plain);
    ASSERT_TRUE(expected.starts_with("status 0 ")) << expected;
    for (const Bytes* movie : {&plain, &compressed}) {
      EXPECT_EQ(probe(*movie), expected);
      EXPECT_EQ(probe(std::span(*movie).first(std::min<size_t>(movie->size(), 4096))), expected);
      EXPECT_EQ(probe(std::span(*movie).first(std::min<size_t>(movie->size(), 2048))), expected);
      if (movie->size() <= 2048) {
        EXPECT_EQ(probe(encipher(*movie)), expected);
      }
    }
  }
}

}  // namespace
}  // namespace kw
