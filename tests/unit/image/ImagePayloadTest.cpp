// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/ImagePayload.h"

using namespace nQVZEL_15_0;

namespace {

// Decodes a text held in an exactly sized heap copy into an exactly sized
// output buffer, so the sanitizer build catches any stray access.
std::string decode(const std::string& a_rText, Status& a_rStatus) {
  std::unique_ptr<char[]> l_Text(new char[a_rText.size()]);
  std::memcpy(l_Text.get(), a_rText.data(), a_rText.size());
  std::unique_ptr<uint8_t[]> l_Out(new uint8_t[a_rText.size()]);
  const size_t l_Count = decodePayload(l_Text.get(), l_Out.get(), a_rText.size(), a_rStatus);
  return std::string(reinterpret_cast<const char*>(l_Out.get()), l_Count);
}

std::string decode(const std::string& a_rText) {
  Status l_Status;
  const std::string l_Result = decode(a_rText, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  return l_Result;
}

// A plain Base64 encoder, written here independently of the decoder.
std::string encode(const std::string& a_rBytes) {
  static const char l_Alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string l_Out;
  size_t l_Index = 0;
  for (; l_Index + 3 <= a_rBytes.size(); l_Index += 3) {
    const uint32_t l_Group = (uint8_t(a_rBytes[l_Index]) << 16) |
                             (uint8_t(a_rBytes[l_Index + 1]) << 8) | uint8_t(a_rBytes[l_Index + 2]);
    for (int l_Shift = 18; l_Shift >= 0; l_Shift -= 6)
      l_Out += l_Alphabet[(l_Group >> l_Shift) & 63];
  }
  const size_t l_Rest = a_rBytes.size() - l_Index;
  if (l_Rest == 1) {
    const uint32_t l_Group = uint8_t(a_rBytes[l_Index]) << 16;
    l_Out += l_Alphabet[(l_Group >> 18) & 63];
    l_Out += l_Alphabet[(l_Group >> 12) & 63];
    l_Out += "==";
  } else if (l_Rest == 2) {
    const uint32_t l_Group =
        (uint8_t(a_rBytes[l_Index]) << 16) | (uint8_t(a_rBytes[l_Index + 1]) << 8);
    l_Out += l_Alphabet[(l_Group >> 18) & 63];
    l_Out += l_Alphabet[(l_Group >> 12) & 63];
    l_Out += l_Alphabet[(l_Group >> 6) & 63];
    l_Out += '=';
  }
  return l_Out;
}

uint32_t crcOf(const std::string& a_rText) {
  return computeImageCrc(reinterpret_cast<const uint8_t*>(a_rText.data()),
                         static_cast<uint32_t>(a_rText.size()));
}

}  // namespace

TEST(ImageCrc, CheckValuesAndTableEntries) {
  EXPECT_EQ(crcOf("123456789"), 0x05440F15u);
  EXPECT_EQ(crcOf("123456789"), 88346389u);
  EXPECT_EQ(crcOf("abc"), 0x2C2E6092u);
  EXPECT_EQ(crcOf("abc"), 741236882u);
  const uint8_t l_Byte = 0;
  EXPECT_EQ(computeImageCrc(&l_Byte, 0), 0u);
  EXPECT_EQ(computeImageCrc(nullptr, 10), 0u);
  EXPECT_EQ(kImageCrcTable[0], 0u);
  EXPECT_EQ(kImageCrcTable[1], 0x1EDC6F41u);
  EXPECT_EQ(kImageCrcTable[255], 0x8ACABEB5u);
}

TEST(ImageCrc, IsTheNonReflectedVariant) {
  // The reflected Castagnoli check value and the common CRC-32 check value
  // must both differ from this one.
  EXPECT_NE(crcOf("123456789"), 0xE3069283u);
  EXPECT_NE(crcOf("123456789"), 0xCBF43926u);
  // A bitwise reference computation over bytes 0..255 agrees with the table.
  std::string l_Bytes;
  for (int l_Index = 0; l_Index < 256; ++l_Index) l_Bytes += static_cast<char>(l_Index);
  uint32_t l_Crc = 0xFFFFFFFFu;
  for (unsigned char l_Char : l_Bytes) {
    l_Crc ^= static_cast<uint32_t>(l_Char) << 24;
    for (int l_Bit = 0; l_Bit < 8; ++l_Bit) {
      l_Crc = (l_Crc & 0x80000000u) ? (l_Crc << 1) ^ 0x1EDC6F41u : (l_Crc << 1);
    }
  }
  EXPECT_EQ(crcOf(l_Bytes), l_Crc ^ 0xFFFFFFFFu);
}

TEST(ImageCrc, FastPathsAgreeWithByteWiseOnAnyLengthAndAlignment) {
  std::mt19937 l_Random(31);
  std::vector<uint8_t> l_Bytes(5000);
  for (uint8_t& l_rByte : l_Bytes) l_rByte = static_cast<uint8_t>(l_Random());
  for (int l_Round = 0; l_Round < 2000; ++l_Round) {
    const size_t l_Offset = l_Random() % 64;
    const uint32_t l_Length = static_cast<uint32_t>(l_Random() % (l_Bytes.size() - l_Offset));
    const uint8_t* l_pData = l_Bytes.data() + l_Offset;
    uint32_t l_Crc = 0xFFFFFFFFu;
    for (uint32_t l_Index = 0; l_Index < l_Length; ++l_Index) {
      l_Crc = (l_Crc << 8) ^ kImageCrcTable[((l_Crc >> 24) ^ l_pData[l_Index]) & 0xFFu];
    }
    l_Crc ^= 0xFFFFFFFFu;
    ASSERT_EQ(computeImageCrc(l_pData, l_Length), l_Crc) << l_Offset << " " << l_Length;
    ASSERT_EQ(computeImageCrcPortable(l_pData, l_Length), l_Crc) << l_Offset << " " << l_Length;
  }
}

TEST(DecodePayload, ExamplesAndSkippedCharacters) {
  EXPECT_EQ(decode("QUJD"), "ABC");
  EXPECT_EQ(decode("QUJD\r\nRA=="), "ABCD");
  EXPECT_EQ(decode("QQ"), "A");
  EXPECT_EQ(decode("Q"), "");
  EXPECT_EQ(decode("QUI"), "AB");
  // Padding, white space, braces and bytes of 0x80 and above never end decoding.
  EXPECT_EQ(decode("Q{U=J\x80 D\xff\t"), "ABC");
  EXPECT_EQ(decode("=QUJD"), "ABC");
  EXPECT_EQ(decode("===="), "");
}

TEST(DecodePayload, DecodesExactlyCountCharacters) {
  const char l_Text[] = "QUJDRA==";
  uint8_t l_Out[8] = {};
  Status l_Status;
  EXPECT_EQ(decodePayload(l_Text, l_Out, 4, l_Status), 3u);
  EXPECT_EQ(std::memcmp(l_Out, "ABC", 3), 0);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
}

TEST(DecodePayload, EachCallStartsFresh) {
  // A dangling single character must not leak into the next call's output.
  Status l_Status;
  EXPECT_EQ(decode("Q", l_Status), "");
  EXPECT_EQ(decode("QUJD", l_Status), "ABC");
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
}

TEST(DecodePayload, LargeNoisyPayloadRoundTrips) {
  std::string l_Bytes;
  for (int l_Index = 0; l_Index < 30001; ++l_Index)
    l_Bytes += static_cast<char>((l_Index * 7919) & 0xFF);
  const std::string l_Encoded = encode(l_Bytes);
  // Line breaks every 76 characters, as image files carry them.
  std::string l_Text;
  for (size_t l_Index = 0; l_Index < l_Encoded.size(); l_Index += 76) {
    l_Text += l_Encoded.substr(l_Index, 76) + "\r\n";
  }
  EXPECT_EQ(decode(l_Text), l_Bytes);
}

TEST(DecodePayload, InvalidArgumentsAndFailedStatus) {
  uint8_t l_Out[4] = {0x55, 0x55, 0x55, 0x55};
  {
    Status l_Status;
    EXPECT_EQ(decodePayload("QUJD", l_Out, 0, l_Status), 0u);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
  {
    Status l_Status;
    EXPECT_EQ(decodePayload("QUJD", nullptr, 4, l_Status), 0u);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
  {
    Status l_Status;
    EXPECT_EQ(decodePayload(nullptr, l_Out, 4, l_Status), 0u);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
  {
    Status l_Status;
    QVZ_SET_STATUS(l_Status, qvstatus::kNotFound);
    EXPECT_EQ(decodePayload("QUJD", l_Out, 4, l_Status), 0u);
    EXPECT_EQ(l_Status.code, qvstatus::kNotFound);
  }
  EXPECT_EQ(l_Out[0], 0x55);
}

TEST(DecodePayload, ChecksumOfDecodedBytesMatchesHeaderValue) {
  const std::string l_Bytes = decode(encode("abc"));
  EXPECT_EQ(crcOf(l_Bytes), 741236882u);
}
