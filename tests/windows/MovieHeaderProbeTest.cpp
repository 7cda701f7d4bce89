// Tests of the movie header probe on movies made by the SWF writer: header
// fields, the 31-byte tag window, compressed, enciphered and malformed input.
#include "mac/windows/MovieHeaderProbe.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>
#include <random>
#include <string>

#include "mac/pluginhost/MovieCipher.h"
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

void expectSameProbe(const MovieHeaderInfo& a, const MovieHeaderInfo& b) {
  EXPECT_EQ(a.status, b.status);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(a.rect, b.rect);
  EXPECT_EQ(a.frameRate, b.frameRate);
  EXPECT_EQ(a.frameCount, b.frameCount);
  EXPECT_EQ(a.backgroundColor, b.backgroundColor);
  EXPECT_EQ(a.actionScript3, b.actionScript3);
}

class TempFile {
 public:
  explicit TempFile(const Bytes& bytes) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("kw-probe-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".swf");
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A 550 x 400 movie written by hand: n = 15, Xmax 11000 and Ymax 8000 twips,
// 12.5 frames per second, 24 frames, SetBackgroundColor 0x336699, End.
const Bytes kHandWritten = {'F',  'W',  'S',  9,    28,   0,    0,    0,    0x78, 0x00,
                            0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x80, 0x0C, 24,
                            0,    0x43, 0x02, 0x33, 0x66, 0x99, 0x00, 0x00};

TEST(MovieHeaderProbe, AgreesWithAHandWrittenMovieAndTheWriter) {
  const MovieHeaderInfo info = probeMovieHeader(kHandWritten);
  EXPECT_EQ(info.status, kStatusOK);
  EXPECT_EQ(info.rect, (QDRect{0, 0, 400, 550}));
  EXPECT_EQ(info.frameRate, 12U);
  EXPECT_EQ(info.backgroundColor, 0x336699U);

  SwfWriter writer(header550());
  writer.setBackgroundColor(0x336699).end();
  EXPECT_EQ(writer.build(), kHandWritten);

  // Compressed: same 8-byte header except 'C', the length stays the uncompressed one.
  writer.header().compressed = true;
  const Bytes compressed = writer.build();
  EXPECT_EQ(Bytes(compressed.begin(), compressed.begin() + 8),
            (Bytes{'C', 'W', 'S', 9, 28, 0, 0, 0}));
  Bytes inflated(20);
  uLongf inflatedLength = 20;
  ASSERT_EQ(uncompress(inflated.data(), &inflatedLength, compressed.data() + 8, compressed.size() - 8), Z_OK);
  EXPECT_EQ(inflatedLength, 20U);
  EXPECT_EQ(inflated, Bytes(kHandWritten.begin() + 8, kHandWritten.end()));
}

TEST(MovieHeaderProbe, ReadsTheHeaderOfPlainCompressedAndEncipheredMovies) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    const Bytes movie = SwfWriter::wrapperLike(header550(compressed), 0, 0x336699).showFrame().end().build();
    for (const Bytes& bytes : {movie, encipher(movie)}) {
      const MovieHeaderInfo info = probeMovieHeader(bytes);
      EXPECT_EQ(info.status, kStatusOK);
      EXPECT_EQ(info.signature, compressed ? "CWS" : "FWS");
      EXPECT_EQ(info.version, 9);
      EXPECT_EQ(info.rect, (QDRect{0, 0, 400, 550}));
      EXPECT_EQ(info.frameRate, 12U);  // 12.5: the fraction is dropped
      EXPECT_EQ(info.frameCount, 24U);
      EXPECT_EQ(info.backgroundColor, 0x336699U);
      EXPECT_FALSE(info.actionScript3);
    }
  }
}

TEST(MovieHeaderProbe, AcceptsAnInflateThatStopsEarly) {
  // Shorter than 4096 bytes but inflating far beyond its own length: the output fills up.
  const Bytes small = SwfWriter(header550(true)).setBackgroundColor(0x010203).metadata(std::string(5000, 'x'))
                          .end().build();
  ASSERT_LT(small.size(), 200U);
  EXPECT_EQ(probeMovieHeader(small).backgroundColor, 0x010203U);

  // Incompressible and long: the 2040 bytes read end in the middle of the stream.
  Bytes noise(100000);
  std::mt19937 random(7);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  const Bytes large = SwfWriter(header550(true)).setBackgroundColor(0x010203).tag(87, noise).end().build();
  ASSERT_GT(large.size(), 100000U);
  EXPECT_EQ(probeMovieHeader(large).status, kStatusOK);
  EXPECT_EQ(probeMovieHeader(large).backgroundColor, 0x010203U);
}

TEST(MovieHeaderProbe, ConvertsTwipsToPixelsByIntegerDivision) {
  MovieHeader header;
  header.frame = {39, 2019, 20, 400};  // 1.95, 100.95, 1, 20 pixels
  header.frameRate = 0xFF01;           // integer byte 255, fraction byte 1
  EXPECT_EQ(probeMovieHeader(SwfWriter(header).build()).rect, (QDRect{1, 1, 20, 100}));
  EXPECT_EQ(probeMovieHeader(SwfWriter(header).build()).frameRate, 255U);

  // The widest rectangle (31-bit fields) does not wrap into negative pixels.
  header.frame = {0, 0x3FFFFFFF, 0, 655340};
  const MovieHeaderInfo huge = probeMovieHeader(SwfWriter(header).build());
  EXPECT_EQ(huge.status, kStatusOK);
  EXPECT_EQ(huge.rect, (QDRect{0, 0, 32767, 32767}));
}

TEST(MovieHeaderProbe, ReportsTheBackgroundColourOnlyWhenItLiesInsideTheWindow) {
  // The 550 x 400 header leaves 18 of the 31 window bytes for tags.
  auto probeAfterFiller = [](size_t fillerBody, bool forceLong = false) {
    SwfWriter writer(header550());
    writer.tag(40, filler(fillerBody)).tag(swf::kTagSetBackgroundColor, Bytes{0x11, 0x22, 0x33}, forceLong);
    return probeMovieHeader(writer.end().build());
  };
  EXPECT_EQ(probeAfterFiller(11).backgroundColor, 0x112233U);  // colour ends on the last window byte
  EXPECT_EQ(probeAfterFiller(12).backgroundColor, std::nullopt);  // last colour byte outside
  EXPECT_EQ(probeAfterFiller(40).backgroundColor, std::nullopt);  // whole tag outside
  EXPECT_EQ(probeAfterFiller(0, true).backgroundColor, 0x112233U);  // long tag header

  // The host's out-parameter keeps its value when no colour was met.
  TempFile file(SwfWriter(header550()).tag(40, filler(40)).setBackgroundColor(0x010203).end().build());
  QDRect rect;
  uint32_t rate = 0;
  uint32_t frames = 0;
  uint32_t colour = 0xFEEDED;
  uint8_t version = 0;
  bool as3 = true;
  EXPECT_EQ(probeMovieHeader(file.path(), rect, rate, &frames, &colour, version, as3), kStatusOK);
  EXPECT_EQ(colour, 0xFEEDEDU);
  EXPECT_EQ(rect, (QDRect{0, 0, 400, 550}));
  EXPECT_EQ(frames, 24U);
  EXPECT_FALSE(as3);
}

TEST(MovieHeaderProbe, FindsActionScript3ByCodeTagsOrFileAttributesWithinTheWindow) {
  for (uint16_t code : {swf::kTagDoABCDefine, swf::kTagSymbolClass, swf::kTagDoABC}) {
    SwfWriter writer(header550());
    writer.tag(code, filler(100));  // a body running past the window still counts
    EXPECT_TRUE(probeMovieHeader(writer.build()).actionScript3) << code;
  }
  const std::string bigMetadata(3000, 'm');
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    // The real layout: FileAttributes first, the code far behind the metadata.
    auto movie = [&](uint32_t attributes) {
      return SwfWriter(header550(compressed)).fileAttributes(attributes).metadata(bigMetadata)
          .doABC(filler(50)).showFrame().end().build();
    };
    EXPECT_TRUE(probeMovieHeader(movie(swf::kFileAttributesAS3)).actionScript3);
    EXPECT_TRUE(probeMovieHeader(movie(0x19)).actionScript3);
    EXPECT_FALSE(probeMovieHeader(movie(0)).actionScript3);
    EXPECT_FALSE(probeMovieHeader(movie(0x17)).actionScript3);
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
    const MovieHeaderInfo info = probeMovieHeader(writer.build());
    EXPECT_EQ(info.status, kStatusOK);
    EXPECT_EQ(info.backgroundColor, std::nullopt) << length;
    EXPECT_FALSE(info.actionScript3) << length;
  }
}

TEST(MovieHeaderProbe, RejectsShortAndForeignData) {
  const Bytes plain = SwfWriter(header550()).setBackgroundColor(0x123456).build();  // header: 21 bytes
  for (size_t length = 0; length <= plain.size(); ++length) {
    const Status status = probeMovieHeader(std::span(plain).first(length)).status;
    if (length < 3) {
      EXPECT_EQ(status, kProbeNotAMovie) << length;
    } else if (length < 21) {
      EXPECT_EQ(status, kProbeTooShort) << length;
    } else {
      EXPECT_EQ(status, kStatusOK) << length;
    }
  }
  EXPECT_EQ(probeMovieHeader(std::span(plain).first(22)).backgroundColor, std::nullopt);

  const Bytes compressed = SwfWriter(header550(true)).setBackgroundColor(0x123456).build();
  for (size_t length = 3; length <= 10; ++length) {
    EXPECT_EQ(probeMovieHeader(std::span(compressed).first(length)).status, kProbeTooShort) << length;
  }

  Bytes foreign = plain;
  foreign[0] = 'Z';  // "ZWS": signed but neither plain nor compressed
  EXPECT_EQ(probeMovieHeader(foreign).status, kProbeNotAMovie);
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'};
  const MovieHeaderInfo info = probeMovieHeader(text);
  EXPECT_EQ(info.status, kProbeNotAMovie);
  EXPECT_EQ(info.signature.size(), 3U);  // the deciphered bytes, whatever they are

  // A broken deflate stream inflates to nothing.
  Bytes broken = {'C', 'W', 'S', 9, 100, 0, 0, 0};
  broken.resize(64, 0xFF);
  EXPECT_EQ(probeMovieHeader(broken).status, kProbeTooShort);
}

TEST(MovieHeaderProbe, ReportsFileErrorsAndUsesTheShortForms) {
  const std::filesystem::path missing = std::filesystem::temp_directory_path() / "kw-probe-missing.swf";
  QDRect rect{1, 2, 3, 4};
  EXPECT_EQ(probeMovieSize(missing, rect), kProbeFileNotFound);
  EXPECT_EQ(rect, (QDRect{1, 2, 3, 4}));  // not written on failure
  EXPECT_EQ(probeMovieHeader(std::filesystem::temp_directory_path()).status, kProbeReadError);

  TempFile empty(Bytes{});
  EXPECT_EQ(probeMovieHeader(empty.path()).status, kProbeNotAMovie);

  TempFile as3(SwfWriter(header550(true)).fileAttributes(swf::kFileAttributesAS3).build());
  bool flag = false;
  EXPECT_EQ(probeIsActionScript3(as3.path(), flag), kStatusOK);
  EXPECT_TRUE(flag);
  EXPECT_EQ(probeMovieSize(as3.path(), rect), kStatusOK);
  EXPECT_EQ(rect, (QDRect{0, 0, 400, 550}));

  TempFile notMovie(Bytes(100, 'x'));
  flag = true;
  EXPECT_EQ(probeIsActionScript3(notMovie.path(), flag), kProbeNotAMovie);
  EXPECT_FALSE(flag);  // cleared first
}

TEST(MovieHeaderProbe, ProbesABigCompressedMovieLikeItsFirstFourKilobytes) {
  MovieHeader header = header550(true);
  header.compressionLevel = 0;  // stored blocks: the file really is 50 MB
  SwfWriter writer = SwfWriter::wrapperLike(header, swf::kFileAttributesAS3, 0x0A0B0C);
  writer.tag(87, Bytes(50U << 20, 0x5A)).showFrame().end();
  const Bytes movie = writer.build();
  ASSERT_GT(movie.size(), 50U << 20);

  const MovieHeaderInfo whole = probeMovieHeader(movie);
  EXPECT_EQ(whole.status, kStatusOK);
  EXPECT_EQ(whole.backgroundColor, 0x0A0B0CU);
  EXPECT_TRUE(whole.actionScript3);
  expectSameProbe(whole, probeMovieHeader(std::span(movie).first(4096)));
  TempFile file(movie);
  expectSameProbe(whole, probeMovieHeader(file.path()));
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
    const MovieHeaderInfo expected = probeMovieHeader(plain);
    ASSERT_EQ(expected.status, kStatusOK);
    for (const Bytes* movie : {&plain, &compressed}) {
      expectSameProbe(expected, probeMovieHeader(*movie));
      expectSameProbe(expected, probeMovieHeader(std::span(*movie).first(std::min<size_t>(movie->size(), 4096))));
      expectSameProbe(expected, probeMovieHeader(std::span(*movie).first(std::min<size_t>(movie->size(), 2048))));
      if (movie->size() <= 2048) expectSameProbe(expected, probeMovieHeader(encipher(*movie)));
    }
  }
}

}  // namespace
}  // namespace kw
