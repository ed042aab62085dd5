// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageMaker.h"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace nQvBench {

namespace {

constexpr uint32_t kLineCharacters = 76;
constexpr uint32_t kMinimumImageSize = 4096;
constexpr uint32_t kSstPayloadBytes = 1024;

std::string pseudoRandomBytes(uint32_t a_Count, uint64_t a_Seed) {
  std::string l_Bytes(a_Count, '\0');
  uint64_t l_State = a_Seed;
  for (uint32_t l_Index = 0; l_Index < a_Count; ++l_Index) {
    l_State ^= l_State << 13;
    l_State ^= l_State >> 7;
    l_State ^= l_State << 17;
    l_Bytes[l_Index] = static_cast<char>(l_State >> 32);
  }
  return l_Bytes;
}

// The image checksum (polynomial 0x1EDC6F41, most significant bit first,
// initial value and result complemented), kept apart from the library's so
// that an image the library accepts is a check of both.
uint32_t crcOf(const std::string& a_rBytes) {
  static const auto s_Table = [] {
    std::array<uint32_t, 256> l_Table{};
    for (uint32_t l_Index = 0; l_Index < 256; ++l_Index) {
      uint32_t l_Value = l_Index << 24;
      for (int l_Bit = 0; l_Bit < 8; ++l_Bit) {
        l_Value = (l_Value << 1) ^ ((l_Value & 0x80000000u) ? 0x1EDC6F41u : 0u);
      }
      l_Table[l_Index] = l_Value;
    }
    return l_Table;
  }();
  uint32_t l_Crc = 0xFFFFFFFFu;
  for (const char l_Byte : a_rBytes) {
    l_Crc = (l_Crc << 8) ^ s_Table[((l_Crc >> 24) ^ static_cast<uint8_t>(l_Byte)) & 0xFFu];
  }
  return ~l_Crc;
}

std::string header(const char* a_pUpdateType, uint32_t a_ByteCount, uint32_t a_Crc) {
  char l_Text[512];
  std::snprintf(l_Text, sizeof(l_Text),
                "HeaderVersion::2\r\nUpdateType::\"%s\"\r\nSubSystemID::%X\r\n"
                "PinOutAddr::40\r\nPinOutVer::2\r\nOffset::100000\r\nVersion::%04X\r\n"
                "ByteCount::%u\r\nCRC::%u\r\n\r\n",
                a_pUpdateType, kBenchCardSubsystemId, kBenchImageVersion, a_ByteCount, a_Crc);
  return l_Text;
}

// Characters of the encoded form of a_Bytes bytes, line breaks included.
uint64_t encodedSize(uint64_t a_Bytes) {
  const uint64_t l_Characters = (a_Bytes + 2) / 3 * 4;
  return l_Characters + 2 * ((l_Characters + kLineCharacters - 1) / kLineCharacters);
}

}  // namespace

std::string encodeBase64Lines(const std::string& a_rBytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string l_Text;
  l_Text.reserve(encodedSize(a_rBytes.size()));
  uint32_t l_OnLine = 0;
  auto l_Put = [&](char a_Char) {
    l_Text.push_back(a_Char);
    if (++l_OnLine == kLineCharacters) {
      l_Text += "\r\n";
      l_OnLine = 0;
    }
  };
  const auto* l_pBytes = reinterpret_cast<const unsigned char*>(a_rBytes.data());
  const size_t l_Size = a_rBytes.size();
  for (size_t l_Index = 0; l_Index < l_Size; l_Index += 3) {
    const size_t l_Left = l_Size - l_Index;
    const uint32_t l_Group = (uint32_t{l_pBytes[l_Index]} << 16) |
                             (l_Left > 1 ? uint32_t{l_pBytes[l_Index + 1]} << 8 : 0) |
                             (l_Left > 2 ? uint32_t{l_pBytes[l_Index + 2]} : 0);
    l_Put(kAlphabet[(l_Group >> 18) & 63]);
    l_Put(kAlphabet[(l_Group >> 12) & 63]);
    l_Put(l_Left > 1 ? kAlphabet[(l_Group >> 6) & 63] : '=');
    l_Put(l_Left > 2 ? kAlphabet[l_Group & 63] : '=');
  }
  if (l_OnLine != 0) l_Text += "\r\n";
  return l_Text;
}

sMadeImage makeImage(uint32_t a_Size) {
  if (a_Size < kMinimumImageSize) throw std::invalid_argument("image size below 4 KiB");

  const std::string l_SstBytes = pseudoRandomBytes(kSstPayloadBytes, 0x5EED5EEDull);
  const std::string l_Sst = header("SSTFlashFWUpdate", kSstPayloadBytes, crcOf(l_SstBytes)) +
                            encodeBase64Lines(l_SstBytes);

  // The largest ISSI payload whose section still fits; the header is sized
  // with the widest values it can hold.
  const uint64_t l_HeaderBound = header("ISSIFlashFWUpdate", 4000000000u, 4000000000u).size();
  const uint64_t l_Room = a_Size - l_Sst.size() - l_HeaderBound;
  uint64_t l_Bytes = l_Room / 78 * 57;  // whole lines: 57 bytes make 76 characters
  while (encodedSize(l_Bytes + 3) <= l_Room) l_Bytes += 3;

  sMadeImage l_Image;
  const std::string l_IssiBytes = pseudoRandomBytes(static_cast<uint32_t>(l_Bytes), 0xC0FFEEull);
  l_Image.m_DecodedLength = static_cast<uint32_t>(l_Bytes);
  l_Image.m_Crc = crcOf(l_IssiBytes);
  const std::string l_IssiHeader =
      header("ISSIFlashFWUpdate", l_Image.m_DecodedLength, l_Image.m_Crc);
  const std::string l_Payload = encodeBase64Lines(l_IssiBytes);

  l_Image.m_Text.reserve(a_Size);
  l_Image.m_Text = l_Sst;
  l_Image.m_IssiStart = static_cast<uint32_t>(l_Image.m_Text.size());
  l_Image.m_Text += l_IssiHeader;
  l_Image.m_PayloadStart = static_cast<uint32_t>(l_Image.m_Text.size());
  l_Image.m_Text += l_Payload;
  // Line feeds pad the image to its exact size; the decoder skips them.
  l_Image.m_Text.append(a_Size - l_Image.m_Text.size(), '\n');
  l_Image.m_PayloadLength = a_Size - l_Image.m_PayloadStart;
  return l_Image;
}

}  // namespace nQvBench
