// The movie cipher (block function, key, pass structure, short inputs) and the movie merger (layout;
// compressed, enciphered, malformed, lying and cut inputs; the plug-in's write conditions).
#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <optional>
#include <tuple>
#include <vector>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "mac/pluginhost/Xtea.h"
#include "tests/support/SwfTestMovies.h"

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr CipherDirection kEncipher = CipherDirection::Encipher;
constexpr CipherDirection kDecipher = CipherDirection::Decipher;

Bytes cipher(Bytes bytes, int passes, CipherDirection direction) {
  EXPECT_EQ(movieCipher(bytes.data(), bytes.data(), bytes.size(), passes, direction), kStatusOK);
  return bytes;
}
Bytes encipher(Bytes bytes) { return cipher(std::move(bytes), 1, kEncipher); }
Bytes bigEndian(uint64_t block) {
  Bytes bytes(8);
  for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(block >> (56 - 8 * i));
  return bytes;
}

TEST(Xtea, MatchesPublishedTestVectors) {
  const std::array<uint32_t, 4> counting = {0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F}, zero = {};
  const std::tuple<std::array<uint32_t, 4>, uint64_t, uint64_t> vectors[] = {
      {counting, 0x4142434445464748, 0x497df3d072612cb5}, {counting, 0x4141414141414141, 0xe78f2d13744341d8},
      {counting, 0x5a5b6e278948d77f, 0x4141414141414141}, {zero, 0x4142434445464748, 0xa0390589f8b8efa5},
      {zero, 0x4141414141414141, 0xed23375a821a8c2d},     {zero, 0x70e1225d6e4e7655, 0x4141414141414141}};
  for (const auto& [key, plain, enciphered] : vectors) {
    const XteaKeySchedule schedule(key);
    Bytes block = bigEndian(plain);
    schedule.encipher(block.data());
    EXPECT_EQ(block, bigEndian(enciphered)) << std::hex << plain;
    schedule.decipher(block.data());
    EXPECT_EQ(block, bigEndian(plain)) << std::hex << plain;
  }
}

// The expected bytes are built from the documented key's block function.
TEST(MovieCipher, UsesTheDocumentedKeyTreatsAnOddTailOnceAndRefusesLengthsUnderEight) {
  const XteaKeySchedule key({0x7A1C3E95, 0xB4D2608F, 0x1E5A9C37, 0xC8F04B62});
  const auto blocks = [&](Bytes bytes, size_t from, size_t to, CipherDirection direction, int passes = 1) {
    for (int pass = 0; pass < passes; ++pass) {
      for (size_t at = from; at < to; at += 8) {
        direction == kEncipher ? key.encipher(bytes.data() + at) : key.decipher(bytes.data() + at);
      }
    }
    return bytes;
  };
  Bytes plain(29);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 37 + 11);
  // Enciphering: the last 8 bytes once, then the 24-byte prefix; deciphering the other way round.
  EXPECT_EQ(cipher(plain, 2, kEncipher), blocks(blocks(plain, 21, 29, kEncipher), 0, 24, kEncipher, 2));
  EXPECT_EQ(cipher(plain, 2, kDecipher), blocks(blocks(plain, 0, 24, kDecipher, 2), 21, 29, kDecipher));
  EXPECT_EQ(cipher(cipher(plain, 3, kEncipher), 3, kDecipher), plain);
  const Bytes whole(plain.begin(), plain.begin() + 24);  // a multiple of 8: only the passes
  EXPECT_EQ(cipher(whole, 3, kEncipher), blocks(whole, 0, 24, kEncipher, 3));
  EXPECT_EQ(cipher(whole, 0, kEncipher), whole);
  Bytes destination(plain.size(), 0xEE);  // a distinct destination gets the copy
  ASSERT_EQ(movieCipher(plain.data(), destination.data(), plain.size(), 1, kEncipher), kStatusOK);
  EXPECT_EQ(destination, encipher(plain));
  for (size_t length = 0; length < 8; ++length) {
    for (CipherDirection direction : {kEncipher, kDecipher}) {
      Bytes untouched(8, 0xAB);
      EXPECT_EQ(movieCipher(plain.data(), untouched.data(), length, 1, direction), kStatusCipherTooShort);
      EXPECT_EQ(untouched, Bytes(8, 0xAB)) << length;
    }
  }
  EXPECT_TRUE(isPlainMovie(Bytes{'C', 'W', 'S'}));
  EXPECT_FALSE(isPlainMovie(Bytes{'F', 'W'}) || isPlainMovie(Bytes{'F', 'w', 'S', 9}));
}

Bytes makeMovie(bool compressed = false) { return test::userMovie(compressed).build(); }
Bytes prefix(const Bytes& bytes, size_t n) { return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n)); }
Bytes withLength(Bytes movie, uint32_t length) {
  for (size_t i = 0; i < 4; ++i) movie[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  return movie;
}

// The merged movie built by hand: "FWS" 9 and the true total length, the rest of
// the user's 21-byte header, the wrapper's tags after its 20-byte header and
// first 11 bytes without its last 4 bytes, the script-limits tag, the user's tags.
Bytes expectedMerge(const Bytes& wrapper, const Bytes& movie) {
  Bytes out = {'F', 'W', 'S', 9, 0, 0, 0, 0};
  out.insert(out.end(), movie.begin() + 8, movie.begin() + 21);
  out.insert(out.end(), wrapper.begin() + 31, wrapper.end() - 4);
  out.insert(out.end(), {0x44, 0x10, 0x00, 0x01, 0x78, 0x00});
  out.insert(out.end(), movie.begin() + 21, movie.end());
  return withLength(out, static_cast<uint32_t>(out.size()));
}

struct MergeCase {
  const char* name;
  Bytes wrapper, movie;
  Status status;
  std::optional<Bytes> written;
  bool wrapperFlag = true;
  PluginWriteConditions plugin = {};
};

TEST(MovieMerger, AnswersEveryKindOfInputWithItsStatusAndBytes) {
  const Bytes wrapper = test::wrapperMovie();
  const Bytes movie = makeMovie();
  const Bytes compressed = makeMovie(true);
  ASSERT_TRUE(movieHeaderLength(wrapper[8]) == 20 && movieHeaderLength(movie[8]) == 21);  // as expectedMerge takes
  const Bytes merged = expectedMerge(wrapper, movie);
  const auto size = static_cast<uint32_t>(movie.size());
  const Bytes broken = {'F', 'W', 'S', 9, 200, 0, 0, 0, 0xFF};
  const Bytes tiny = {'x', 'y', 'z', 1, 2, 3, 4};  // enciphered and under 8 bytes
  Bytes corrupt = compressed;
  corrupt[8] ^= 0xFF;  // the zlib stream header
  Bytes stub = {'C', 'W', 'S', 9, 100, 0, 0, 0};  // a stream that ends inside the movie header
  uLongf packedLength = compressBound(6);
  Bytes packed(packedLength);
  ASSERT_EQ(compress(packed.data(), &packedLength, movie.data() + 8, 6), Z_OK);
  stub.insert(stub.end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(packedLength));
  auto big = test::userMovie(true);  // highly compressible: the buffer grows while it inflates
  for (int i = 0; i < 40; ++i) big.tag(swf::kTagMetadata, Bytes(70'000, 0x5A));
  const Bytes bigCompressed = big.build();
  big.header().compressed = false;
  const std::optional<Bytes> none;
  const Status ok = kStatusOK, bad = kStatusMalformedMovie, tooShort = kStatusCipherTooShort;
  const PluginWriteConditions notReady{.writeReady = false}, noWrite{.hasWrite = false};
  const MergeCase cases[] = {
      {"plain", wrapper, movie, ok, merged},
      {"compressed", wrapper, compressed, ok, merged},
      {"enciphered compressed", encipher(wrapper), encipher(compressed), ok, merged},
      {"large compressed", wrapper, bigCompressed, ok, expectedMerge(wrapper, big.build())},
      {"wrapper without tags", prefix(wrapper, 35), movie, ok, expectedMerge(prefix(wrapper, 35), movie)},
      {"movie of a header only", wrapper, prefix(movie, 21), ok, expectedMerge(wrapper, prefix(movie, 21))},
      // Lying lengths: the bytes present count, the true total is stored.
      {"claims more", wrapper, withLength(movie, size + 1000), ok, merged},
      {"compressed claims 4 GiB", wrapper, withLength(compressed, 0xFFFFFFFF), ok, merged},
      {"claims less", wrapper, withLength(movie, size - 2), ok, expectedMerge(wrapper, prefix(movie, size - 2))},
      {"compressed claims less", wrapper, withLength(compressed, size - 1), Z_BUF_ERROR, none},
      // Without the wrapper flag: the movie deciphered, whatever the deciphering gave.
      {"as it is", {}, movie, ok, movie, false},
      {"deciphered", {}, encipher(compressed), ok, compressed, false},
      {"short, as it is", wrapper, tiny, tooShort, tiny, false},
      {"short, not ready", {}, tiny, tooShort, none, false, notReady},
      {"as it is, no write", {}, movie, ok, none, false, noWrite},
      // Nothing to merge or no one to take it; a plug-in not ready still has the merge checked.
      {"no wrapper", {}, movie, ok, none},
      {"no movie", wrapper, {}, ok, none},
      {"no write", wrapper, broken, ok, none, true, noWrite},
      {"no write ready", wrapper, broken, ok, none, true, {.hasWriteReady = false}},
      {"not ready", wrapper, movie, ok, none, true, notReady},
      {"not ready, malformed", wrapper, broken, bad, none, true, notReady},
      {"short movie", wrapper, tiny, tooShort, none},
      {"short wrapper", {'a', 'b', 'c'}, movie, tooShort, none},
      // Too short for the header, or declaring less than it; damaged streams.
      {"no length", wrapper, {'F', 'W', 'S', 9, 30}, bad, none},
      {"no byte 8", wrapper, prefix(movie, 8), bad, none},
      {"under its header", wrapper, prefix(movie, 20), bad, none},
      {"length under header", wrapper, withLength(movie, 20), bad, none},
      {"compressed length under header", wrapper, withLength(compressed, 20), bad, none},
      {"compressed length 8", wrapper, withLength(compressed, 8), bad, none},
      {"wrapper without byte 8", prefix(wrapper, 12), movie, bad, none},
      {"wrapper under 35 bytes", prefix(wrapper, 34), movie, bad, none},
      {"no stream", wrapper, prefix(compressed, 8), bad, none},
      {"corrupt stream", wrapper, corrupt, bad, none},
      {"stream ends in the header", wrapper, stub, bad, none},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MergeResult result = mergeMovie(c.wrapper, c.movie, c.wrapperFlag, c.plugin);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.written, c.written);
  }
  // A stream cut anywhere: the status a one-shot uncompress gives for the same bytes.
  const uLongf capacity = test::storedLength(compressed) - 8;
  Bytes scratch(capacity);
  for (size_t cut = 9; cut < compressed.size(); ++cut) {
    uLongf produced = capacity;
    const int expected = uncompress(scratch.data(), &produced, compressed.data() + 8, static_cast<uLong>(cut - 8));
    ASSERT_NE(expected, Z_OK);
    const MergeResult result = mergeMovie(wrapper, prefix(compressed, cut), true);
    EXPECT_EQ(result.status, expected) << cut;
    EXPECT_FALSE(result.written) << cut;
  }
}

}  // namespace
}  // namespace kw
