// Tests of the movie merger: the merged layout, compressed and enciphered
// inputs, the write conditions, malformed and lying movies, and a randomized
// robustness run over damaged inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include <zlib.h>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "tools/swf/SwfWriter.h"

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr Status kZBufError = -5;

// A wrapper with a 20-byte header: a 13-bit rectangle of 200 x 150 pixels.
Bytes makeWrapper() {
  swf::MovieHeader header;
  header.frame = {0, 4000, 0, 3000};
  header.minRectBits = 13;
  auto writer = swf::SwfWriter::wrapperLike(header);
  writer.doActionGetURL("KW://KW_backChannel", "").showFrame().end();
  return writer.build();
}

// A user movie with a 21-byte header: 550 x 400 pixels need 15-bit fields.
swf::SwfWriter userWriter(bool compressed = false) {
  swf::MovieHeader header;
  header.compressed = compressed;
  header.version = 8;
  swf::SwfWriter writer(header);
  writer.setBackgroundColor(0x336699).doActionGetURL("http://example.com/", "_blank").showFrame().end();
  return writer;
}

Bytes makeMovie(bool compressed = false) { return userWriter(compressed).build(); }

Bytes encipher(Bytes bytes) {
  EXPECT_EQ(movieCipher(bytes.data(), bytes.data(), bytes.size(), 1, CipherDirection::Encipher), kStatusOK);
  return bytes;
}

uint32_t storedLength(const Bytes& movie) {
  return uint32_t{movie[4]} | uint32_t{movie[5]} << 8 | uint32_t{movie[6]} << 16 | uint32_t{movie[7]} << 24;
}

// The merged movie built by hand from its definition.
Bytes expectedMerge(const Bytes& wrapper, size_t wrapperHeader, const Bytes& movie, size_t movieHeader) {
  Bytes out(movie.begin(), movie.begin() + static_cast<ptrdiff_t>(movieHeader));
  out.insert(out.end(), wrapper.begin() + static_cast<ptrdiff_t>(wrapperHeader + 11), wrapper.end() - 4);
  out.insert(out.end(), {0x44, 0x10, 0x00, 0x01, 0x78, 0x00});
  out.insert(out.end(), movie.begin() + static_cast<ptrdiff_t>(movieHeader), movie.end());
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
  const Bytes wrapper = makeWrapper();
  const Bytes movie = makeMovie();
  ASSERT_EQ(movieHeaderLength(wrapper[8]), 20u);
  ASSERT_EQ(movieHeaderLength(movie[8]), 21u);

  const MergeResult result = merge(wrapper, movie);
  ASSERT_EQ(result.status, kStatusOK);
  ASSERT_TRUE(result.written.has_value());
  const Bytes& merged = *result.written;
  EXPECT_EQ(merged.size(), wrapper.size() - 4 + movie.size() - 31 + 6);
  EXPECT_EQ(storedLength(merged), merged.size());
  EXPECT_EQ(Bytes(merged.begin(), merged.begin() + 4), (Bytes{'F', 'W', 'S', 9}));
  const size_t tagOffset = merged.size() - (movie.size() - 21) - 6;
  EXPECT_EQ(Bytes(merged.begin() + static_cast<ptrdiff_t>(tagOffset),
                  merged.begin() + static_cast<ptrdiff_t>(tagOffset) + 6),
            (Bytes{0x44, 0x10, 0x00, 0x01, 0x78, 0x00}));
  EXPECT_EQ(merged, expectedMerge(wrapper, 20, movie, 21));

  // A wrapper holding nothing beyond its header, two tags and the last 4 bytes.
  Bytes bare(wrapper.begin(), wrapper.begin() + 31);
  bare.insert(bare.end(), {0, 0, 0, 0});
  const MergeResult bareResult = merge(bare, movie);
  ASSERT_EQ(bareResult.status, kStatusOK);
  EXPECT_EQ(bareResult.written, expectedMerge(bare, 20, movie, 21));
}

TEST(MovieMerger, InflatesCompressedMoviesBeforeMerging) {
  const Bytes wrapper = makeWrapper();
  const Bytes plain = makeMovie(false);
  const Bytes compressed = makeMovie(true);
  ASSERT_EQ(compressed[0], 'C');

  const MergeResult result = merge(wrapper, compressed);
  ASSERT_EQ(result.status, kStatusOK);
  EXPECT_EQ(result.written, expectedMerge(wrapper, 20, plain, 21));

  // A large, highly compressible movie inflates across zlib's internal chunks.
  auto big = userWriter(true);
  const Bytes filler(70'000, 0x5A);
  for (int i = 0; i < 40; ++i) big.tag(swf::kTagMetadata, filler);
  const MergeResult large = merge(wrapper, big.build());
  ASSERT_EQ(large.status, kStatusOK);
  auto bigPlain = big;
  bigPlain.header().compressed = false;
  EXPECT_EQ(large.written, expectedMerge(wrapper, 20, bigPlain.build(), 21));
}

TEST(MovieMerger, WithoutWrapperFlagWritesTheMovieAsItIs) {
  for (bool compressed : {false, true}) {
    const Bytes movie = makeMovie(compressed);
    const MergeResult result = merge({}, movie, false);
    EXPECT_EQ(result.status, kStatusOK);
    EXPECT_EQ(result.written, movie);
    // Enciphered: written deciphered.
    const MergeResult deciphered = merge({}, encipher(movie), false);
    EXPECT_EQ(deciphered.status, kStatusOK);
    EXPECT_EQ(deciphered.written, movie);
  }
  // Not written when the plug-in cannot take data; the status is still the deciphering's.
  const Bytes movie = makeMovie();
  EXPECT_FALSE(merge({}, movie, false, {.writeReady = false}).written.has_value());
  EXPECT_FALSE(merge({}, movie, false, {.hasWrite = false}).written.has_value());
  EXPECT_FALSE(merge({}, movie, false, {.hasWriteReady = false}).written.has_value());
  EXPECT_EQ(merge({}, {1, 2, 3}, false, {.writeReady = false}).status, kStatusCipherTooShort);
}

TEST(MovieMerger, ShortEncipheredMovieFailsWith1302) {
  const Bytes shortMovie = {'x', 'y', 'z', 1, 2, 3, 4};
  const MergeResult unwrapped = merge(makeWrapper(), shortMovie, false);
  EXPECT_EQ(unwrapped.status, kStatusCipherTooShort);
  EXPECT_EQ(unwrapped.written, shortMovie);

  const MergeResult wrapped = merge(makeWrapper(), shortMovie, true);
  EXPECT_EQ(wrapped.status, kStatusCipherTooShort);
  EXPECT_FALSE(wrapped.written.has_value());

  // The same for a short enciphered wrapper.
  const MergeResult shortWrapper = merge({'a', 'b', 'c'}, makeMovie(), true);
  EXPECT_EQ(shortWrapper.status, kStatusCipherTooShort);
  EXPECT_FALSE(shortWrapper.written.has_value());
}

TEST(MovieMerger, DeciphersEncipheredWrapperAndMovie) {
  const Bytes wrapper = makeWrapper();
  const Bytes expected = expectedMerge(wrapper, 20, makeMovie(false), 21);
  for (bool compressed : {false, true}) {
    const Bytes movie = makeMovie(compressed);
    const MergeResult result = merge(encipher(wrapper), encipher(movie));
    ASSERT_EQ(result.status, kStatusOK) << compressed;
    EXPECT_EQ(result.written, expected) << compressed;
  }
}

TEST(MovieMerger, WritesNothingWhenThereIsNothingToMergeOrNoOneToTakeIt) {
  const Bytes wrapper = makeWrapper();
  const Bytes movie = makeMovie();
  const Bytes broken = {'F', 'W', 'S', 9, 200, 0, 0, 0, 0xFF};
  for (const auto& [w, m, plugin] : {std::tuple{Bytes{}, movie, PluginWriteConditions{}},
                                     std::tuple{wrapper, Bytes{}, PluginWriteConditions{}},
                                     std::tuple{wrapper, broken, PluginWriteConditions{.hasWrite = false}},
                                     std::tuple{wrapper, broken, PluginWriteConditions{.hasWriteReady = false}}}) {
    const MergeResult result = merge(w, m, true, plugin);
    EXPECT_EQ(result.status, kStatusOK);
    EXPECT_FALSE(result.written.has_value());
  }
  // NPP_WriteReady answering 0: the merge runs (and reports its faults) but writes nothing.
  const MergeResult notReady = merge(wrapper, movie, true, {.writeReady = false});
  EXPECT_EQ(notReady.status, kStatusOK);
  EXPECT_FALSE(notReady.written.has_value());
  EXPECT_EQ(merge(wrapper, broken, true, {.writeReady = false}).status, kStatusMalformedMovie);
}

TEST(MovieMerger, RejectsMoviesAndWrappersTooShortForTheirHeaders) {
  const Bytes wrapper = makeWrapper();
  const Bytes movie = makeMovie();
  const auto rejected = [](const Bytes& w, const Bytes& m) {
    const MergeResult result = mergeMovie(w, m, true, {});
    return result.status == kStatusMalformedMovie && !result.written.has_value();
  };
  // Movie: no length field, no byte 8, or fewer bytes than its 21-byte header.
  EXPECT_TRUE(rejected(wrapper, {'F', 'W', 'S', 9, 30}));
  EXPECT_TRUE(rejected(wrapper, Bytes(movie.begin(), movie.begin() + 8)));
  EXPECT_TRUE(rejected(wrapper, Bytes(movie.begin(), movie.begin() + 20)));
  EXPECT_FALSE(rejected(wrapper, Bytes(movie.begin(), movie.begin() + 21)));
  // Declared file length below the header length.
  Bytes lowLength = movie;
  lowLength[4] = 20;
  lowLength[5] = lowLength[6] = lowLength[7] = 0;
  EXPECT_TRUE(rejected(wrapper, lowLength));
  Bytes lowCompressed = makeMovie(true);
  lowCompressed[4] = 20;
  lowCompressed[5] = lowCompressed[6] = lowCompressed[7] = 0;
  EXPECT_TRUE(rejected(wrapper, lowCompressed));
  lowCompressed[4] = 8;
  EXPECT_TRUE(rejected(wrapper, lowCompressed));

  // Wrapper: no byte 8 once its last 4 bytes are dropped, or fewer than H + 11 bytes.
  EXPECT_TRUE(rejected(Bytes(wrapper.begin(), wrapper.begin() + 12), movie));
  EXPECT_TRUE(rejected(Bytes(wrapper.begin(), wrapper.begin() + 34), movie));
  EXPECT_FALSE(rejected(Bytes(wrapper.begin(), wrapper.begin() + 35), movie));
}

TEST(MovieMerger, TrustsTheBytesPresentOverALyingFileLength) {
  const Bytes wrapper = makeWrapper();
  const Bytes movie = makeMovie();
  const Bytes honest = expectedMerge(wrapper, 20, movie, 21);

  // Uncompressed, claiming more than is there: the bytes present, the true total stored.
  auto longer = userWriter();
  longer.header().fileLength = static_cast<uint32_t>(movie.size() + 1000);
  const MergeResult overstated = merge(wrapper, longer.build());
  ASSERT_EQ(overstated.status, kStatusOK);
  EXPECT_EQ(overstated.written, honest);

  // Uncompressed, claiming less: the declared length bounds the body.
  auto shorter = userWriter();
  shorter.header().fileLength = static_cast<uint32_t>(movie.size() - 2);
  const MergeResult understated = merge(wrapper, shorter.build());
  ASSERT_EQ(understated.status, kStatusOK);
  EXPECT_EQ(understated.written, expectedMerge(wrapper, 20, Bytes(movie.begin(), movie.end() - 2), 21));

  // Compressed, claiming more than inflates (a little, or 4 GiB): the inflated length.
  for (uint32_t claimed : {static_cast<uint32_t>(movie.size() + 100), uint32_t{0xFFFFFFFF}}) {
    auto lying = userWriter(true);
    lying.header().fileLength = claimed;
    const MergeResult result = merge(wrapper, lying.build());
    ASSERT_EQ(result.status, kStatusOK) << claimed;
    EXPECT_EQ(result.written, honest) << claimed;
  }

  // Compressed, claiming less than inflates: zlib's "buffer too small".
  auto small = userWriter(true);
  small.header().fileLength = static_cast<uint32_t>(movie.size() - 1);
  const MergeResult tooSmall = merge(wrapper, small.build());
  EXPECT_EQ(tooSmall.status, kZBufError);
  EXPECT_FALSE(tooSmall.written.has_value());
}

TEST(MovieMerger, PassesZlibErrorsOfDamagedCompressedMovies) {
  const Bytes wrapper = makeWrapper();
  const Bytes compressed = makeMovie(true);

  // Cut anywhere: the status is the one zlib's uncompress gives for the same bytes.
  const uLongf capacity = storedLength(compressed) - 8;
  Bytes scratch(capacity);
  for (size_t cut = 9; cut < compressed.size(); ++cut) {
    uLongf produced = capacity;
    const int zlibStatus = uncompress(scratch.data(), &produced, compressed.data() + 8, static_cast<uLong>(cut - 8));
    ASSERT_NE(zlibStatus, Z_OK);
    const MergeResult truncated = merge(wrapper, Bytes(compressed.begin(), compressed.begin() + static_cast<ptrdiff_t>(cut)));
    EXPECT_EQ(truncated.status, zlibStatus) << cut;
    EXPECT_FALSE(truncated.written.has_value());
  }
  const Bytes headerOnly(compressed.begin(), compressed.begin() + 8);
  EXPECT_EQ(merge(wrapper, headerOnly).status, kStatusMalformedMovie);

  Bytes corrupt = compressed;
  corrupt[8] ^= 0xFF;  // the zlib stream header
  const MergeResult result = merge(wrapper, corrupt);
  EXPECT_EQ(result.status, kStatusMalformedMovie);
  EXPECT_FALSE(result.written.has_value());

  // A stream that ends inside the movie header.
  Bytes stub = {'C', 'W', 'S', 9, 100, 0, 0, 0};
  const Bytes plain = makeMovie();
  const Bytes headerStart(plain.begin() + 8, plain.begin() + 14);
  uLongf packedLength = compressBound(static_cast<uLong>(headerStart.size()));
  Bytes packed(packedLength);
  ASSERT_EQ(compress(packed.data(), &packedLength, headerStart.data(), static_cast<uLong>(headerStart.size())),
            Z_OK);
  stub.insert(stub.end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(packedLength));
  EXPECT_EQ(merge(wrapper, stub).status, kStatusMalformedMovie);
}

// Damaged inputs never crash, and whatever is written is self-consistent.
TEST(MovieMerger, SurvivesRandomlyDamagedInputs) {
  std::mt19937 random(20240601);
  const Bytes wrapper = makeWrapper();
  const std::vector<Bytes> movies = {makeMovie(false), makeMovie(true), encipher(makeMovie(false)),
                                     encipher(makeMovie(true))};
  const auto pick = [&](size_t bound) { return static_cast<size_t>(random() % bound); };

  for (int round = 0; round < 3000; ++round) {
    Bytes movie = movies[pick(movies.size())];
    Bytes wrap = round % 4 == 0 ? encipher(wrapper) : wrapper;
    Bytes& victim = round % 5 == 0 ? wrap : movie;
    switch (pick(3)) {
      case 0:
        victim.resize(pick(victim.size() + 1));
        break;
      case 1:
        for (size_t flips = 1 + pick(4); flips > 0 && !victim.empty(); --flips) {
          victim[pick(victim.size())] ^= static_cast<uint8_t>(1 + pick(255));
        }
        break;
      default:
        if (victim.size() >= 8) victim[4 + pick(4)] = static_cast<uint8_t>(random());
        break;
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
