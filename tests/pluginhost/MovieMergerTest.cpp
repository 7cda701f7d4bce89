// Tests of the movie merger: the merged layout, compressed and enciphered
// inputs, the write conditions, malformed and lying movies, and a randomized
// robustness run over damaged inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include <zlib.h>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "tests/support/SwfTestMovies.h"

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;
using test::storedLength;
using test::userMovie;

constexpr Status kZBufError = -5;
const Bytes kScriptLimits = {0x44, 0x10, 0x00, 0x01, 0x78, 0x00};

Bytes makeMovie(bool compressed = false) { return userMovie(compressed).build(); }

Bytes encipher(Bytes bytes) {
  EXPECT_EQ(movieCipher(bytes.data(), bytes.data(), bytes.size(), 1, CipherDirection::Encipher), kStatusOK);
  return bytes;
}

// The merged movie built by hand: the user header, the wrapper's tags after its
// header and first 11 bytes of tags without its last 4 bytes, a script-limits
// tag, the user's tags; signature "FWS" 9 and the true total length.
Bytes expectedMerge(const Bytes& wrapper, const Bytes& movie) {
  const ptrdiff_t wrapperHeader = 20;
  const ptrdiff_t movieHeader = 21;
  Bytes out(movie.begin(), movie.begin() + movieHeader);
  out.insert(out.end(), wrapper.begin() + wrapperHeader + 11, wrapper.end() - 4);
  out.insert(out.end(), kScriptLimits.begin(), kScriptLimits.end());
  out.insert(out.end(), movie.begin() + movieHeader, movie.end());
  out[0] = 'F';
  out[1] = 'W';
  out[2] = 'S';
  out[3] = 9;
  const auto total = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(total >> (8 * i));
  return out;
}

MergeResult merge(const Bytes& wrapper, const Bytes& movie, bool wrapperFlag = true,
                  PluginWriteConditions plugin = {}) {
  return mergeMovie(wrapper, movie, wrapperFlag, plugin);
}

TEST(MovieMerger, PlacesUserHeaderWrapperTagsScriptLimitsAndUserTags) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes movie = makeMovie();
  ASSERT_EQ(movieHeaderLength(wrapper[8]), 20u);
  ASSERT_EQ(movieHeaderLength(movie[8]), 21u);

  const MergeResult result = merge(wrapper, movie);
  ASSERT_EQ(result.status, kStatusOK);
  ASSERT_TRUE(result.written.has_value());
  EXPECT_EQ(result.written->size(), wrapper.size() - 4 + movie.size() - 31 + 6);
  EXPECT_EQ(result.written, expectedMerge(wrapper, movie));

  // A wrapper holding nothing beyond its header, two tags and the last 4 bytes.
  Bytes bare(wrapper.begin(), wrapper.begin() + 31);
  bare.insert(bare.end(), {0, 0, 0, 0});
  const MergeResult bareResult = merge(bare, movie);
  ASSERT_EQ(bareResult.status, kStatusOK);
  EXPECT_EQ(bareResult.written, expectedMerge(bare, movie));
}

TEST(MovieMerger, InflatesAndDeciphersInputsBeforeMerging) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes expected = expectedMerge(wrapper, makeMovie(false));
  ASSERT_EQ(makeMovie(true)[0], 'C');
  for (const auto& [w, m] : {std::pair{wrapper, makeMovie(true)}, std::pair{encipher(wrapper), encipher(makeMovie())},
                             std::pair{encipher(wrapper), encipher(makeMovie(true))}}) {
    const MergeResult result = merge(w, m);
    ASSERT_EQ(result.status, kStatusOK);
    EXPECT_EQ(result.written, expected);
  }

  // A large, highly compressible movie inflates across the inflater's internal chunks.
  auto big = userMovie(true);
  const Bytes filler(70'000, 0x5A);
  for (int i = 0; i < 40; ++i) big.tag(swf::kTagMetadata, filler);
  const MergeResult large = merge(wrapper, big.build());
  ASSERT_EQ(large.status, kStatusOK);
  big.header().compressed = false;
  EXPECT_EQ(large.written, expectedMerge(wrapper, big.build()));
}

TEST(MovieMerger, WithoutWrapperFlagWritesTheMovieDeciphered) {
  for (bool compressed : {false, true}) {
    const Bytes movie = makeMovie(compressed);
    for (const Bytes& input : {movie, encipher(movie)}) {
      const MergeResult result = merge({}, input, false);
      EXPECT_EQ(result.status, kStatusOK);
      EXPECT_EQ(result.written, movie);
    }
  }
  // Not written when the plug-in cannot take data; the status is still the deciphering's.
  const Bytes movie = makeMovie();
  for (const PluginWriteConditions plugin :
       {PluginWriteConditions{.writeReady = false}, PluginWriteConditions{.hasWrite = false},
        PluginWriteConditions{.hasWriteReady = false}}) {
    EXPECT_FALSE(merge({}, movie, false, plugin).written.has_value());
  }
  EXPECT_EQ(merge({}, {1, 2, 3}, false, {.writeReady = false}).status, kStatusCipherTooShort);
}

TEST(MovieMerger, ShortEncipheredInputFailsWith1302) {
  const Bytes shortMovie = {'x', 'y', 'z', 1, 2, 3, 4};
  const MergeResult unwrapped = merge(test::wrapperMovie(), shortMovie, false);
  EXPECT_EQ(unwrapped.status, kStatusCipherTooShort);
  EXPECT_EQ(unwrapped.written, shortMovie);  // written as it is

  const Bytes shortWrapper = {'a', 'b', 'c'};
  for (const auto& [w, m] : {std::pair{test::wrapperMovie(), shortMovie}, std::pair{shortWrapper, makeMovie()}}) {
    const MergeResult wrapped = merge(w, m, true);
    EXPECT_EQ(wrapped.status, kStatusCipherTooShort);
    EXPECT_FALSE(wrapped.written.has_value());
  }
}

TEST(MovieMerger, WritesNothingWhenThereIsNothingToMergeOrNoOneToTakeIt) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes movie = makeMovie();
  const Bytes broken = {'F', 'W', 'S', 9, 200, 0, 0, 0, 0xFF};
  for (const auto& [w, m, plugin] : {std::tuple{Bytes{}, movie, PluginWriteConditions{}},
                                     std::tuple{wrapper, Bytes{}, PluginWriteConditions{}},
                                     std::tuple{wrapper, broken, PluginWriteConditions{.hasWrite = false}},
                                     std::tuple{wrapper, broken, PluginWriteConditions{.hasWriteReady = false}},
                                     std::tuple{wrapper, movie, PluginWriteConditions{.writeReady = false}}}) {
    const MergeResult result = merge(w, m, true, plugin);
    EXPECT_EQ(result.status, kStatusOK);
    EXPECT_FALSE(result.written.has_value());
  }
  // A plug-in not ready for data: the merge still runs and reports its faults.
  EXPECT_EQ(merge(wrapper, broken, true, {.writeReady = false}).status, kStatusMalformedMovie);
}

TEST(MovieMerger, RejectsMoviesAndWrappersTooShortForTheirHeaders) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes movie = makeMovie();
  const auto rejected = [](const Bytes& w, const Bytes& m) {
    const MergeResult result = mergeMovie(w, m, true, {});
    return result.status == kStatusMalformedMovie && !result.written.has_value();
  };
  const auto prefix = [](const Bytes& bytes, ptrdiff_t n) { return Bytes(bytes.begin(), bytes.begin() + n); };
  // Movie: no length field, no byte 8, or fewer bytes than its 21-byte header.
  EXPECT_TRUE(rejected(wrapper, {'F', 'W', 'S', 9, 30}));
  EXPECT_TRUE(rejected(wrapper, prefix(movie, 8)));
  EXPECT_TRUE(rejected(wrapper, prefix(movie, 20)));
  EXPECT_FALSE(rejected(wrapper, prefix(movie, 21)));
  // Declared file length below the header length, plain or compressed.
  const Bytes compressed = makeMovie(true);
  for (const auto& [bytes, length] : {std::pair{movie, 20}, std::pair{compressed, 20}, std::pair{compressed, 8}}) {
    Bytes low = bytes;
    low[4] = static_cast<uint8_t>(length);
    low[5] = low[6] = low[7] = 0;
    EXPECT_TRUE(rejected(wrapper, low)) << length;
  }
  // Wrapper: no byte 8 once its last 4 bytes are dropped, or fewer than 20 + 11 + 4 bytes.
  EXPECT_TRUE(rejected(prefix(wrapper, 12), movie));
  EXPECT_TRUE(rejected(prefix(wrapper, 34), movie));
  EXPECT_FALSE(rejected(prefix(wrapper, 35), movie));
}

TEST(MovieMerger, TrustsTheBytesPresentOverALyingFileLength) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes movie = makeMovie();
  const Bytes honest = expectedMerge(wrapper, movie);
  const auto lying = [](bool compressed, size_t claimed) {
    auto writer = userMovie(compressed);
    writer.header().fileLength = static_cast<uint32_t>(claimed);
    return writer.build();
  };

  // Uncompressed and claiming more, or compressed and claiming more than inflates
  // (a little, or 4 GiB): the bytes present, the true total stored.
  for (const Bytes& input :
       {lying(false, movie.size() + 1000), lying(true, movie.size() + 100), lying(true, 0xFFFFFFFF)}) {
    const MergeResult result = merge(wrapper, input);
    ASSERT_EQ(result.status, kStatusOK);
    EXPECT_EQ(result.written, honest);
  }
  // Uncompressed, claiming less: the declared length bounds the body.
  const MergeResult understated = merge(wrapper, lying(false, movie.size() - 2));
  ASSERT_EQ(understated.status, kStatusOK);
  EXPECT_EQ(understated.written, expectedMerge(wrapper, Bytes(movie.begin(), movie.end() - 2)));
  // Compressed, claiming less than inflates: the inflater's "buffer too small".
  const MergeResult tooSmall = merge(wrapper, lying(true, movie.size() - 1));
  EXPECT_EQ(tooSmall.status, kZBufError);
  EXPECT_FALSE(tooSmall.written.has_value());
}

TEST(MovieMerger, PassesInflateErrorsOfDamagedCompressedMovies) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes compressed = makeMovie(true);

  // Cut anywhere: the status is the one a one-shot uncompress gives for the same bytes.
  const uLongf capacity = storedLength(compressed) - 8;
  Bytes scratch(capacity);
  for (size_t cut = 9; cut < compressed.size(); ++cut) {
    uLongf produced = capacity;
    const int expected = uncompress(scratch.data(), &produced, compressed.data() + 8, static_cast<uLong>(cut - 8));
    ASSERT_NE(expected, Z_OK);
    const Bytes cutMovie(compressed.begin(), compressed.begin() + static_cast<ptrdiff_t>(cut));
    const MergeResult truncated = merge(wrapper, cutMovie);
    EXPECT_EQ(truncated.status, expected) << cut;
    EXPECT_FALSE(truncated.written.has_value());
  }
  EXPECT_EQ(merge(wrapper, Bytes(compressed.begin(), compressed.begin() + 8)).status, kStatusMalformedMovie);

  Bytes corrupt = compressed;
  corrupt[8] ^= 0xFF;  // the stream header
  const MergeResult result = merge(wrapper, corrupt);
  EXPECT_EQ(result.status, kStatusMalformedMovie);
  EXPECT_FALSE(result.written.has_value());

  // A stream that ends inside the movie header.
  Bytes stub = {'C', 'W', 'S', 9, 100, 0, 0, 0};
  const Bytes plain = makeMovie();
  const Bytes headerStart(plain.begin() + 8, plain.begin() + 14);
  uLongf packedLength = compressBound(static_cast<uLong>(headerStart.size()));
  Bytes packed(packedLength);
  ASSERT_EQ(compress(packed.data(), &packedLength, headerStart.data(), static_cast<uLong>(headerStart.size())), Z_OK);
  stub.insert(stub.end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(packedLength));
  EXPECT_EQ(merge(wrapper, stub).status, kStatusMalformedMovie);
}

// Damaged inputs never crash, and whatever is written is self-consistent.
TEST(MovieMerger, SurvivesRandomlyDamagedInputs) {
  std::mt19937 random(20240601);
  const Bytes wrapper = test::wrapperMovie();
  const std::vector<Bytes> movies = {makeMovie(false), makeMovie(true), encipher(makeMovie(false)),
                                     encipher(makeMovie(true))};
  const auto pick = [&](size_t bound) { return static_cast<size_t>(random() % bound); };

  for (int round = 0; round < 2000; ++round) {
    Bytes movie = movies[pick(movies.size())];
    Bytes wrap = round % 4 == 0 ? encipher(wrapper) : wrapper;
    Bytes& victim = round % 5 == 0 ? wrap : movie;
    const size_t damage = pick(3);
    if (damage == 0) {
      victim.resize(pick(victim.size() + 1));
    } else if (damage == 1) {
      for (size_t flips = 1 + pick(4); flips > 0 && !victim.empty(); --flips) {
        victim[pick(victim.size())] ^= static_cast<uint8_t>(1 + pick(255));
      }
    } else if (victim.size() >= 8) {
      victim[4 + pick(4)] = static_cast<uint8_t>(random());  // a lying length
    }

    const MergeResult plain = merge(wrap, movie, false);
    ASSERT_TRUE(plain.written.has_value());
    EXPECT_EQ(plain.written->size(), movie.size());

    const MergeResult merged = merge(wrap, movie, true);
    if (!merged.written) continue;
    ASSERT_EQ(merged.status, kStatusOK);
    const Bytes& out = *merged.written;
    ASSERT_GE(out.size(), 8u);
    EXPECT_EQ(storedLength(out), out.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{'F', 'W', 'S', 9}));
  }
}

}  // namespace
}  // namespace kw
