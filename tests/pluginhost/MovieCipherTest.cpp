// Tests of the movie cipher: the XTEA block function, the documented key, the
// pass structure for every tail length, round trips and short inputs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/Xtea.h"

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t length, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(length);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

Bytes cipher(Bytes bytes, int passes, CipherDirection direction) {
  EXPECT_EQ(movieCipher(bytes.data(), bytes.data(), bytes.size(), passes, direction), kStatusOK);
  return bytes;
}

Bytes hex(const char* text) {
  Bytes bytes;
  for (size_t i = 0; text[i] != 0 && text[i + 1] != 0; i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(text + i, 2), nullptr, 16)));
  }
  return bytes;
}

TEST(Xtea, MatchesPublishedTestVectors) {
  const std::array<uint32_t, 4> counting = {0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F};
  const std::array<uint32_t, 4> zero = {0, 0, 0, 0};
  const std::tuple<std::array<uint32_t, 4>, const char*, const char*> vectors[] = {
      {counting, "4142434445464748", "497df3d072612cb5"}, {counting, "4141414141414141", "e78f2d13744341d8"},
      {counting, "5a5b6e278948d77f", "4141414141414141"}, {zero, "4142434445464748", "a0390589f8b8efa5"},
      {zero, "4141414141414141", "ed23375a821a8c2d"},     {zero, "70e1225d6e4e7655", "4141414141414141"}};
  for (const auto& [key, plain, enciphered] : vectors) {
    const XteaKeySchedule schedule(key);
    Bytes block = hex(plain);
    schedule.encipher(block.data());
    EXPECT_EQ(block, hex(enciphered)) << plain;
    schedule.decipher(block.data());
    EXPECT_EQ(block, hex(plain)) << plain;
  }
}

TEST(MovieCipher, UsesTheDocumentedKeyOnBigEndianBlocks) {
  const XteaKeySchedule documented({0x7A1C3E95, 0xB4D2608F, 0x1E5A9C37, 0xC8F04B62});
  const Bytes plain = randomBytes(16, 1);
  Bytes expected = plain;
  documented.encipher(expected.data());
  documented.encipher(expected.data() + 8);
  EXPECT_EQ(cipher(plain, 1, CipherDirection::Encipher), expected);
}

TEST(MovieCipher, RoundTripsEveryLengthAndPassCount) {
  for (size_t length = 8; length <= 40; ++length) {
    for (int passes = 1; passes <= 3; ++passes) {
      const Bytes plain = randomBytes(length, static_cast<uint32_t>(length));
      const Bytes enciphered = cipher(plain, passes, CipherDirection::Encipher);
      EXPECT_NE(enciphered, plain) << length;
      EXPECT_EQ(cipher(enciphered, passes, CipherDirection::Decipher), plain)
          << "length " << length << " passes " << passes;
    }
  }
  const Bytes big = randomBytes((size_t{1} << 20) + 5, 7);
  EXPECT_EQ(cipher(cipher(big, 1, CipherDirection::Encipher), 1, CipherDirection::Decipher), big);
}

TEST(MovieCipher, RepeatsWholeBlockPassesAndTreatsTheTailOnce) {
  const Bytes plain = randomBytes(24, 3);
  // A multiple of 8: `passes` full passes.
  EXPECT_EQ(cipher(plain, 3, CipherDirection::Encipher),
            cipher(cipher(cipher(plain, 1, CipherDirection::Encipher), 1, CipherDirection::Encipher), 1,
                   CipherDirection::Encipher));

  // 29 bytes: enciphering treats the last 8 bytes once, then the 24-byte prefix with the passes.
  const Bytes odd = randomBytes(29, 4);
  Bytes expected = odd;
  ASSERT_EQ(movieCipher(expected.data() + 21, expected.data() + 21, 8, 1, CipherDirection::Encipher),
            kStatusOK);
  ASSERT_EQ(movieCipher(expected.data(), expected.data(), 24, 2, CipherDirection::Encipher), kStatusOK);
  EXPECT_EQ(cipher(odd, 2, CipherDirection::Encipher), expected);

  // Deciphering: the prefix with the passes first, then the last 8 bytes once.
  expected = odd;
  ASSERT_EQ(movieCipher(expected.data(), expected.data(), 24, 2, CipherDirection::Decipher), kStatusOK);
  ASSERT_EQ(movieCipher(expected.data() + 21, expected.data() + 21, 8, 1, CipherDirection::Decipher),
            kStatusOK);
  EXPECT_EQ(cipher(odd, 2, CipherDirection::Decipher), expected);
}

TEST(MovieCipher, CopiesToADistinctDestinationAndLeavesTheSource) {
  const Bytes plain = randomBytes(37, 5);
  Bytes source = plain;
  Bytes destination(plain.size(), 0xEE);
  ASSERT_EQ(movieCipher(source.data(), destination.data(), source.size(), 1, CipherDirection::Encipher),
            kStatusOK);
  EXPECT_EQ(source, plain);
  EXPECT_EQ(destination, cipher(plain, 1, CipherDirection::Encipher));
}

TEST(MovieCipher, RefusesLengthsUnderEightAndTouchesNothing) {
  const Bytes source = randomBytes(8, 6);
  for (size_t length = 0; length < 8; ++length) {
    for (auto direction : {CipherDirection::Encipher, CipherDirection::Decipher}) {
      Bytes destination(8, 0xAB);
      EXPECT_EQ(movieCipher(source.data(), destination.data(), length, 1, direction),
                kStatusCipherTooShort);
      EXPECT_EQ(destination, Bytes(8, 0xAB));
    }
  }
}

TEST(MovieCipher, RecognisesPlainMoviesByTheirSecondAndThirdBytes) {
  EXPECT_TRUE(isPlainMovie(Bytes{'F', 'W', 'S', 9}));
  EXPECT_TRUE(isPlainMovie(Bytes{'C', 'W', 'S'}));
  for (const Bytes& bytes : {Bytes{'F', 'W'}, Bytes{}, Bytes{'F', 'w', 'S', 9}, Bytes{'W', 'S', 'F', 9}}) {
    EXPECT_FALSE(isPlainMovie(bytes)) << bytes.size();
  }
}

}  // namespace
}  // namespace kw
