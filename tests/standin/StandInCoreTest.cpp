// Tests of the stand-in plug-in's core where the end-to-end runs (tests/e2e)
// do not reach: compressed, malformed and truncated movies, odd tags and
// actions and frame timing at the limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tools/standin/MovieReader.h"
#include "tools/swf/SwfWriter.h"

namespace kw::standin {
namespace {

using swf::Bytes;
using swf::SwfWriter;
using Frames = std::vector<FrameActions>;

Bytes threeFrameMovie(bool compressed) {
  swf::MovieHeader header;
  header.compressed = compressed;
  SwfWriter writer(header);
  writer.setBackgroundColor(0x336699).doActionGetURL("http://one", "_blank").showFrame().showFrame();
  writer.doActionGetURL("KW://KW_zWindow.setSize?width=1", "").doActionGetURL("KW://KW_zSystem.beep", "");
  return writer.showFrame().end().build();
}
Movie read(const Bytes& bytes) {
  MovieResult result = readMovie(bytes);
  EXPECT_TRUE(result.movie.has_value());
  return result.movie.value_or(Movie{});
}

TEST(MovieReading, CompressedMoviesTrailingActionsLongTagsAndActionScript3Tags) {
  const Movie plain = read(threeFrameMovie(false)), inflated = read(threeFrameMovie(true));
  EXPECT_EQ(inflated.frames, (Frames{{{"http://one", "_blank"}}, {},
                                     {{"KW://KW_zWindow.setSize?width=1", ""}, {"KW://KW_zSystem.beep", ""}}}));
  EXPECT_TRUE(inflated.compressed);
  EXPECT_EQ(std::tie(inflated.background, inflated.tagCodes), std::tie(plain.background, plain.tagCodes));
  EXPECT_FALSE(plain.truncated || inflated.truncated);
  // Actions after the last ShowFrame form one more frame; long tag headers are read.
  EXPECT_EQ(read(SwfWriter().showFrame().doActionGetURL("late", "").end().build()).frames,
            (Frames{{}, {{"late", ""}}}));
  EXPECT_EQ(read(SwfWriter().tag(12, swf::actionGetURL("long", ""), true).showFrame().end().build()).frames,
            (Frames{{{"long", ""}}}));
  for (const int code : {72, 76, 82}) {
    EXPECT_TRUE(read(SwfWriter().tag(static_cast<uint16_t>(code), Bytes{1, 0}).end().build()).actionScript3);
  }
  EXPECT_TRUE(read(SwfWriter().fileAttributes(0x08).end().build()).actionScript3);
  EXPECT_FALSE(read(SwfWriter().fileAttributes(0x01 | 0x10).end().build()).actionScript3);
}

TEST(MalformedMovies, GiveNoMovieOrKeepWhatCameBeforeTheFault) {
  EXPECT_EQ(readMovie(Bytes{'F', 'W', 'S', 9}).error, MovieError::TooShort);
  EXPECT_EQ(readMovie(Bytes{'Z', 'W', 'S', 9, 30, 0, 0, 0, 0, 0, 0, 0}).error, MovieError::BadSignature);
  // 31-bit fields need 17 bytes of rectangle; only a few follow.
  EXPECT_FALSE(readMovie(Bytes{'F', 'W', 'S', 9, 40, 0, 0, 0, 0xF8, 0, 0, 0}).movie);
  Bytes corrupt = threeFrameMovie(true);
  std::fill(corrupt.begin() + 8, corrupt.end(), 0xFF);
  EXPECT_EQ(readMovie(corrupt).error, MovieError::BadBody);
  EXPECT_FALSE(readMovie(corrupt).movie);

  Bytes lying = SwfWriter().doActionGetURL("kept", "").showFrame().uncompressed();
  swf::append(lying, Bytes{0x3F, 0x03, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});  // DoAction claiming 2 GB
  const Movie kept = read(lying);
  EXPECT_TRUE(kept.truncated);
  EXPECT_EQ(kept.frames, (Frames{{{"kept", ""}}}));
  Bytes lyingLength = threeFrameMovie(true);  // the claimed file length is not trusted
  std::fill(lyingLength.begin() + 4, lyingLength.begin() + 8, 0xFF);
  EXPECT_EQ(read(lyingLength).frames.size(), 3U);

  for (bool compressed : {false, true}) {
    const Bytes whole = threeFrameMovie(compressed);
    for (size_t length = 0; length < whole.size(); ++length) {
      const MovieResult result = readMovie(std::span(whole).first(length));
      if (!result.movie) continue;
      EXPECT_LE(result.movie->frames.size(), 3U) << length;
      EXPECT_TRUE(length <= 40 || result.movie->truncated) << length;
    }
  }
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) swf::append(out, part);
  return out;
}

TEST(ActionDecoding, GetURLsFromTheirStringsOrFromTwoPushedStrings) {
  const Bytes pushU = swf::actionPushString("u"), pushT = swf::actionPushString("t"), end = swf::actionEnd();
  const std::pair<Bytes, FrameActions> rows[] = {
      {concat({pushU, pushT, swf::actionGetURL2(), end}), {{"u", "t"}}},
      {Bytes{0x96, 6, 0, 0, 'u', 0, 0, 't', 0, 0x9A, 1, 0, 0, 0}, {{"u", "t"}}},  // one push of two strings
      // The target pushed is an integer; an Add (0x0A) between the pushes and GetURL2 forgets them.
      {concat({pushU, Bytes{0x96, 5, 0, 7, 1, 0, 0, 0}, swf::actionGetURL2(), end}), {}},
      {concat({pushU, pushT, Bytes{0x0A}, swf::actionGetURL2(), end}), {}},
      // Unknown actions are skipped by their length; decoding stops at action 0 and at records past the list.
      {concat({Bytes{0x88, 3, 0, 0xAA, 0xBB, 0xCC}, swf::actionGetURL("after", "x"), end}), {{"after", "x"}}},
      {concat({end, swf::actionGetURL("never", "")}), {}},
      {Bytes{0x83, 0x40, 0x00, 'a', 0, 'b', 0}, {}}, {Bytes{0x83, 3, 0, 'a', 0, 'b'}, {}}};
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(decodeActions(rows[i].first), rows[i].second) << i;

  // Frames due after so many ticks at an 8.8 rate, never past the last; a rate of 0 holds the first.
  const std::array<uint32_t, 4> timing[] = {{4, 12 << 8, 100, 0},    {5, 12 << 8, 100, 1}, {24, 0x0C80, 100, 5},
                                            {600, 12 << 8, 3, 3},    {100000, 0, 7, 0},
                                            {0xFFFFFFFFU, 0xFFFF, 7, 7}};
  for (const auto& [ticks, rate, last, due] : timing) {
    EXPECT_EQ(frameDue(ticks, static_cast<uint16_t>(rate), last), due) << ticks;
  }
}

}  // namespace
}  // namespace kw::standin
