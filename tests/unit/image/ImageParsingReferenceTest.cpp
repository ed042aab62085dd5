// SPDX-License-Identifier: LGPL-2.1-or-later
// The key search and the Base64 filter skip work for speed (jumping between
// candidate bytes, a table instead of range tests); these tests hold them to
// plain reference versions on many random inputs, so a shortcut that misses
// or invents a match shows up.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "Base64Reference.h"
#include "image/FirmwareImage.h"
#include "image/ImagePayload.h"

using namespace nQVZEL_15_0;

namespace {

// The search rule written out naively: first p >= a_From with the key at p
// and at least one byte after it.
uint32_t referenceFindKey(const std::string& a_rText, uint32_t a_From, const std::string& a_rKey) {
  for (uint64_t l_Pos = a_From; l_Pos + a_rKey.size() < a_rText.size(); ++l_Pos) {
    if (a_rText.compare(l_Pos, a_rKey.size(), a_rKey) == 0) return static_cast<uint32_t>(l_Pos);
  }
  return static_cast<uint32_t>(a_rText.size());
}

// Base64 decoding by the rules: non-alphabet bytes skipped, groups of four
// give three bytes, a final group of three two, of two one, of one none.
std::string referenceDecode(const std::string& a_rText) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string l_Out;
  uint32_t l_Bits = 0;
  int l_Count = 0;
  for (const char l_Char : a_rText) {
    const size_t l_Value = kAlphabet.find(l_Char);
    if (l_Char == '\0' || l_Value == std::string::npos) continue;
    l_Bits = (l_Bits << 6) | static_cast<uint32_t>(l_Value);
    if (++l_Count == 4) {
      l_Out += static_cast<char>(l_Bits >> 16);
      l_Out += static_cast<char>(l_Bits >> 8);
      l_Out += static_cast<char>(l_Bits);
      l_Bits = 0;
      l_Count = 0;
    }
  }
  if (l_Count == 2) l_Out += static_cast<char>(l_Bits >> 4);
  if (l_Count == 3) {
    l_Out += static_cast<char>(l_Bits >> 10);
    l_Out += static_cast<char>(l_Bits >> 2);
  }
  return l_Out;
}

// Random text over a small alphabet, so that keys and partial keys occur
// often and overlap.
std::string randomText(std::mt19937& a_rRandom, size_t a_Length, const char* a_pLetters) {
  const size_t l_Letters = std::strlen(a_pLetters);
  std::string l_Text(a_Length, ' ');
  for (char& l_rChar : l_Text) l_rChar = a_pLetters[a_rRandom() % l_Letters];
  return l_Text;
}

}  // namespace

TEST(FindKeyAgainstReference, RandomTextsKeysAndStarts) {
  std::mt19937 l_Random(20240611);
  for (int l_Round = 0; l_Round < 3000; ++l_Round) {
    const std::string l_Text = randomText(l_Random, l_Random() % 40, "ab:\r\n");
    const std::string l_Key = randomText(l_Random, 1 + l_Random() % 4, "ab:");
    const uint32_t l_From = static_cast<uint32_t>(l_Random() % (l_Text.size() + 3));
    // An exactly sized heap copy: the sanitizer build sees any read past it.
    std::unique_ptr<char[]> l_Copy(new char[l_Text.size() + 1]);
    std::memcpy(l_Copy.get(), l_Text.data(), l_Text.size());
    Status l_Status;
    const uint32_t l_Found = findKey(l_Copy.get(), static_cast<uint32_t>(l_Text.size()), l_From,
                                     l_Key.c_str(), l_Status);
    const uint32_t l_Expected = referenceFindKey(l_Text, l_From, l_Key);
    ASSERT_EQ(l_Found, l_Expected)
        << "text '" << l_Text << "' key '" << l_Key << "' from " << l_From;
    EXPECT_EQ(l_Status.code,
              l_Expected == l_Text.size() ? qvstatus::kOverflow : qvstatus::kSuccess);
  }
}

TEST(FindKeyAgainstReference, FirstByteRepeatedAndKeyAtLastPlace) {
  Status l_Status;
  // Many candidates that fail on a later byte before the real match.
  const std::string l_Text = std::string(1000, 'H') + "HeaderVersion::2";
  EXPECT_EQ(
      findKey(l_Text.data(), static_cast<uint32_t>(l_Text.size()), 0, kHeaderVersionKey, l_Status),
      1000u);
  // The last place that leaves one byte after the key, and one past it.
  const std::string l_Tail = "xxKEY::v";
  EXPECT_EQ(findKey(l_Tail.data(), 8, 0, "KEY::", l_Status), 2u);
  EXPECT_EQ(findKey(l_Tail.data(), 7, 0, "KEY::", l_Status), 7u);
  EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
  // An empty key is found where the search starts, while a byte remains.
  Status l_Empty;
  EXPECT_EQ(findKey(l_Tail.data(), 8, 3, "", l_Empty), 3u);
  EXPECT_EQ(l_Empty.code, qvstatus::kSuccess);
}

TEST(DecodeAgainstReference, EveryByteValueAcrossBlocksAndRuns) {
  std::mt19937 l_Random(7);
  for (int l_Round = 0; l_Round < 60; ++l_Round) {
    // Mostly alphabet text with every other byte value mixed in, sparse or
    // dense, long enough to cross the decoder's blocks and vector runs at
    // varying places.
    std::string l_Text =
        randomText(l_Random, 1 + l_Random() % 40000,
                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    const size_t l_Noise = l_Random() % 3 == 0 ? 0 : 1 + l_Text.size() / (1 + l_Random() % 200);
    for (size_t l_Index = 0; l_Index < l_Noise; ++l_Index) {
      l_Text[l_Random() % l_Text.size()] = static_cast<char>(l_Random() % 256);
    }
    // An exactly sized output: the sanitizer build sees any store past it.
    std::unique_ptr<uint8_t[]> l_Out(new uint8_t[l_Text.size()]);
    Status l_Status;
    uint32_t l_Crc = 0;
    const size_t l_Count =
        decodePayloadWithCrc(l_Text.data(), l_Out.get(), l_Text.size(), &l_Crc, l_Status);
    const std::string l_Expected = referenceDecode(l_Text);
    ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
    ASSERT_EQ(libb64Decode(l_Text.data(), l_Text.size()), l_Expected) << "round " << l_Round;
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(l_Out.get()), l_Count), l_Expected)
        << "round " << l_Round;
    EXPECT_EQ(l_Crc, computeImageCrcPortable(l_Out.get(), static_cast<uint32_t>(l_Count)));
    // Without an output buffer: the same length and checksum.
    uint32_t l_MeasuredCrc = 0;
    EXPECT_EQ(measurePayload(l_Text.data(), l_Text.size(), &l_MeasuredCrc, l_Status), l_Count);
    EXPECT_EQ(l_MeasuredCrc, l_Crc);
  }
}
