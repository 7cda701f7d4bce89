// Tests of movie reading: header fields, tags, frames of getURL actions,
// action decoding, frame timing, and malformed or truncated movies.
#include <gtest/gtest.h>

#include "tools/standin/MovieReader.h"
#include "tools/swf/SwfWriter.h"

namespace kw::standin {
namespace {

using swf::Bytes;
using swf::SwfWriter;

Movie mustRead(const Bytes& bytes) {
  MovieResult result = readMovie(bytes);
  EXPECT_TRUE(result.movie.has_value());
  return result.movie.value_or(Movie{});
}

Bytes threeFrameMovie(bool compressed) {
  swf::MovieHeader header;
  header.compressed = compressed;
  header.version = 9;
  header.frame = {0, 320 * 20, 0, 240 * 20};
  header.frameRate = swf::fixed88(12.5);
  SwfWriter writer(header);
  writer.setBackgroundColor(0x336699)
      .doActionGetURL("http://one", "_blank")
      .showFrame()
      .showFrame()
      .doActionGetURL("KW://KW_zWindow.setSize?width=1", "")
      .doActionGetURL("KW://KW_zSystem.beep", "")
      .showFrame()
      .end();
  return writer.build();
}

TEST(MovieReading, HeaderFieldsOfAnUncompressedMovieAndItsCompressedForm) {
  const Movie movie = mustRead(threeFrameMovie(false));
  EXPECT_FALSE(movie.compressed);
  EXPECT_EQ(movie.version, 9);
  EXPECT_EQ(movie.xMax, 320 * 20);
  EXPECT_EQ(movie.yMax, 240 * 20);
  EXPECT_EQ(movie.frameRate, 0x0C80);
  EXPECT_EQ(movie.frameCount, 3);
  EXPECT_EQ(movie.background, 0x336699U);
  EXPECT_EQ(movie.fileLength, threeFrameMovie(false).size());
  const Movie inflated = mustRead(threeFrameMovie(true));
  EXPECT_TRUE(inflated.compressed);
  EXPECT_FALSE(movie.truncated || inflated.truncated);
  EXPECT_EQ(inflated.frames, movie.frames);
  EXPECT_EQ(inflated.tagCodes, movie.tagCodes);
}

TEST(MovieReading, FramesCarryTheirGetURLActionsInOrderIncludingTrailingAndLongTags) {
  const Movie movie = mustRead(threeFrameMovie(false));
  ASSERT_EQ(movie.frames.size(), 3U);
  EXPECT_EQ(movie.frames[0], (FrameActions{{"http://one", "_blank"}}));
  EXPECT_TRUE(movie.frames[1].empty());
  EXPECT_EQ(movie.frames[2],
            (FrameActions{{"KW://KW_zWindow.setSize?width=1", ""}, {"KW://KW_zSystem.beep", ""}}));
  // Actions after the last ShowFrame form one more frame; long tag headers are read.
  const Movie trailing = mustRead(SwfWriter().showFrame().doActionGetURL("late", "").end().build());
  EXPECT_EQ(trailing.frames, (std::vector<FrameActions>{{}, {{"late", ""}}}));
  const Movie longTag = mustRead(SwfWriter().tag(12, swf::actionGetURL("long", ""), true).showFrame().end().build());
  EXPECT_EQ(longTag.frames, (std::vector<FrameActions>{{{"long", ""}}}));
}

TEST(MovieReading, ActionScript3AndScriptLimitsAreToldByTags) {
  const Bytes abc{1, 0, 0, 0, 0, 16, 0, 46, 0};
  for (const Bytes& as3 : {SwfWriter().fileAttributes(0x08).end().build(), SwfWriter().doABC(abc).end().build(),
                           SwfWriter().tag(72, abc).end().build(), SwfWriter().tag(76, abc).end().build()}) {
    EXPECT_TRUE(mustRead(as3).actionScript3);
  }
  EXPECT_FALSE(mustRead(SwfWriter().fileAttributes(0x01 | 0x10).end().build()).actionScript3);
  EXPECT_TRUE(mustRead(SwfWriter().tag(65, Bytes{0x00, 0x01, 0x78, 0x00}).end().build()).hasScriptLimits);
  EXPECT_FALSE(mustRead(threeFrameMovie(false)).hasScriptLimits);
}

TEST(MalformedMovies, TooShortUnknownSignatureOrOverlongRectangleGivesNoMovie) {
  EXPECT_EQ(readMovie(Bytes{'F', 'W', 'S', 9}).error, MovieError::TooShort);
  EXPECT_FALSE(readMovie(Bytes{}).movie);
  const MovieResult foreign = readMovie(Bytes{'Z', 'W', 'S', 9, 30, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(foreign.movie);
  EXPECT_EQ(foreign.error, MovieError::BadSignature);
  // 31-bit fields need 17 bytes of rectangle; only a few follow.
  EXPECT_FALSE(readMovie(Bytes{'F', 'W', 'S', 9, 40, 0, 0, 0, 0xF8, 0, 0, 0}).movie);
}

TEST(MalformedMovies, TagLengthPastTheEndKeepsWhatCameBefore) {
  SwfWriter writer;
  writer.doActionGetURL("kept", "").showFrame();
  Bytes bytes = writer.uncompressed();
  const Bytes lying{0x3F, 0x03, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};  // DoAction claiming 2 GB
  bytes.insert(bytes.end(), lying.begin(), lying.end());
  const Movie movie = mustRead(bytes);
  EXPECT_TRUE(movie.truncated);
  ASSERT_EQ(movie.frames.size(), 1U);
  EXPECT_EQ(movie.frames[0], (FrameActions{{"kept", ""}}));
}

TEST(MalformedMovies, EveryTruncationOfAMovieIsReadSafely) {
  for (bool compressed : {false, true}) {
    const Bytes whole = threeFrameMovie(compressed);
    for (size_t length = 0; length < whole.size(); ++length) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
      const MovieResult result = readMovie(cut);
      if (result.movie) {
        EXPECT_LE(result.movie->frames.size(), 3U) << "length " << length;
        if (length > 40) {
          EXPECT_TRUE(result.movie->truncated) << "length " << length;
        }
      }
    }
  }
}

TEST(MalformedMovies, CorruptCompressedBodyGivesNoMovie) {
  Bytes bytes = threeFrameMovie(true);
  for (size_t i = 8; i < bytes.size(); ++i) bytes[i] = 0xFF;
  const MovieResult result = readMovie(bytes);
  EXPECT_FALSE(result.movie);
  EXPECT_EQ(result.error, MovieError::BadBody);
}

TEST(MalformedMovies, LyingFileLengthDoesNotMatter) {
  Bytes bytes = threeFrameMovie(true);
  bytes[4] = bytes[5] = bytes[6] = bytes[7] = 0xFF;
  const Movie movie = mustRead(bytes);
  EXPECT_EQ(movie.fileLength, 0xFFFFFFFFU);
  EXPECT_EQ(movie.frames.size(), 3U);
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) swf::append(out, part);
  return out;
}

TEST(ActionDecoding, GetURL2TakesTheTwoPushedStringsFromOneOrTwoPushes) {
  const Bytes actions = concat({swf::actionPushString("KW://KW_zFile.read"), swf::actionPushString("_self"),
                                swf::actionGetURL2(), swf::actionEnd()});
  EXPECT_EQ(decodeActions(actions), (FrameActions{{"KW://KW_zFile.read", "_self"}}));
  const Bytes onePush{0x96, 6, 0, 0, 'u', 0, 0, 't', 0, 0x9A, 1, 0, 0, 0};
  EXPECT_EQ(decodeActions(onePush), (FrameActions{{"u", "t"}}));
}

TEST(ActionDecoding, NonStringValuesAndOtherActionsDoNotMakeAGetURL) {
  // Push string, push integer, GetURL2: the target is not a string.
  const Bytes integerTarget = concat({swf::actionPushString("u"), Bytes{0x96, 5, 0, 7, 1, 0, 0, 0},
                                      swf::actionGetURL2(), swf::actionEnd()});
  EXPECT_TRUE(decodeActions(integerTarget).empty());
  // An Add (0x0A) between the pushes and GetURL2 forgets them.
  const Bytes interrupted = concat({swf::actionPushString("u"), swf::actionPushString("t"), Bytes{0x0A},
                                    swf::actionGetURL2(), swf::actionEnd()});
  EXPECT_TRUE(decodeActions(interrupted).empty());
}

TEST(ActionDecoding, UnknownActionsAreSkippedByTheirLength) {
  const Bytes actions = concat({Bytes{0x88, 3, 0, 0xAA, 0xBB, 0xCC}, swf::actionGetURL("after", "x"), swf::actionEnd()});
  EXPECT_EQ(decodeActions(actions), (FrameActions{{"after", "x"}}));
}

TEST(ActionDecoding, StopsAtEndActionAndAtRecordsPastTheList) {
  const Bytes afterEnd = concat({swf::actionEnd(), swf::actionGetURL("never", "")});
  EXPECT_TRUE(decodeActions(afterEnd).empty());
  const Bytes overlong{0x83, 0x40, 0x00, 'a', 0, 'b', 0};
  EXPECT_TRUE(decodeActions(overlong).empty());
  const Bytes unterminated{0x83, 3, 0, 'a', 0, 'b'};
  EXPECT_TRUE(decodeActions(unterminated).empty());
}

TEST(FrameTiming, FramesFollowTheRateInTicksNeverPastTheLastFrame) {
  struct Row {
    uint32_t ticks;
    uint16_t rate;
    uint32_t frames, due;
  };
  const Row rows[] = {{0, 12 << 8, 100, 0},   {4, 12 << 8, 100, 0},  {5, 12 << 8, 100, 1},
                      {60, 12 << 8, 100, 12}, {24, 0x0C80, 100, 5},  {600, 12 << 8, 3, 3},
                      {0xFFFFFFFFU, 0xFFFF, 7, 7}, {100000, 0, 7, 0}};
  for (const Row& r : rows) EXPECT_EQ(frameDue(r.ticks, r.rate, r.frames), r.due) << r.ticks << " @" << r.rate;
}

}  // namespace
}  // namespace kw::standin
