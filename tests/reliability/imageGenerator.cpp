// SPDX-License-Identifier: LGPL-2.1-or-later
#include "imageGenerator.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qvzreliability {

namespace {

// True with probability a_Percent / 100.
bool chance(std::mt19937& a_rRandom, int a_Percent) {
  return std::uniform_int_distribution<int>(0, 99)(a_rRandom) < a_Percent;
}

uint32_t below(std::mt19937& a_rRandom, uint32_t a_Limit) {
  return std::uniform_int_distribution<uint32_t>(0, a_Limit - 1)(a_rRandom);
}

std::string hex(uint32_t a_Value, bool a_Prefix) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), a_Prefix ? "0x%X" : "%X", a_Value);
  return l_Text;
}

std::string encode(const std::vector<uint8_t>& a_rBytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string l_Text;
  for (size_t l_Index = 0; l_Index < a_rBytes.size(); l_Index += 3) {
    const size_t l_Have = std::min<size_t>(3, a_rBytes.size() - l_Index);
    uint32_t l_Bits = 0;
    for (size_t l_Byte = 0; l_Byte < 3; ++l_Byte) {
      l_Bits = (l_Bits << 8) | (l_Byte < l_Have ? a_rBytes[l_Index + l_Byte] : 0u);
    }
    for (size_t l_Char = 0; l_Char < 4; ++l_Char) {
      l_Text += l_Char <= l_Have ? kAlphabet[(l_Bits >> (18 - 6 * l_Char)) & 63] : '=';
    }
  }
  return l_Text;
}

// Breaks the Base64 text into lines and sprinkles characters that decoding skips.
std::string layOut(std::mt19937& a_rRandom, const std::string& a_rBase64) {
  const size_t l_Width = chance(a_rRandom, 70) ? 76 : 1 + below(a_rRandom, 100);
  const bool l_Noise = chance(a_rRandom, 15);
  std::string l_Text;
  for (size_t l_Index = 0; l_Index < a_rBase64.size(); ++l_Index) {
    if (l_Index > 0 && l_Index % l_Width == 0) l_Text += "\r\n";
    if (l_Noise && chance(a_rRandom, 10)) l_Text += " \t=*-\x80\xff"[below(a_rRandom, 7)];
    l_Text += a_rBase64[l_Index];
  }
  return l_Text + "\r\n";
}

std::string oneSection(std::mt19937& a_rRandom, const sCardState& a_rCard) {
  // Flash type: mostly the card's own.
  const bool l_Issi = chance(a_rRandom, 75) ? a_rCard.m_FlashId == 0x9D17 : chance(a_rRandom, 50);
  std::vector<uint8_t> l_Bytes(chance(a_rRandom, 3) ? 0 : 1 + below(a_rRandom, 160));
  for (uint8_t& l_rByte : l_Bytes) l_rByte = static_cast<uint8_t>(below(a_rRandom, 256));

  std::string l_HeaderVersion = "2";
  if (chance(a_rRandom, 5)) l_HeaderVersion = chance(a_rRandom, 50) ? "1" : "02x";
  if (chance(a_rRandom, 5)) l_HeaderVersion = "  +2";
  uint32_t l_Subsystem = a_rCard.m_SubsystemId;
  if (chance(a_rRandom, 7)) l_Subsystem ^= 1u << below(a_rRandom, 16);
  uint32_t l_Version = a_rCard.m_InstalledVersion + 1 + below(a_rRandom, 5);
  if (chance(a_rRandom, 10)) l_Version = a_rCard.m_InstalledVersion - below(a_rRandom, 2);
  int64_t l_Count = static_cast<int64_t>(l_Bytes.size());
  if (chance(a_rRandom, 6)) l_Count += chance(a_rRandom, 50) ? 1 : -1;
  if (chance(a_rRandom, 3)) l_Count += int64_t{1} << 32;  // cut back to 32 bits
  std::string l_Crc = std::to_string(bitwiseImageCrc(l_Bytes));
  if (chance(a_rRandom, 6)) l_Crc = std::to_string(bitwiseImageCrc(l_Bytes) ^ 4u);
  if (chance(a_rRandom, 3)) l_Crc = "0x" + hex(bitwiseImageCrc(l_Bytes), false);
  if (chance(a_rRandom, 3)) l_Crc = std::to_string(bitwiseImageCrc(l_Bytes) + (uint64_t{1} << 32));

  std::vector<std::string> l_Lines = {
      "UpdateType::" + std::string(l_Issi ? "\"ISSIFlashFWUpdate\"" : "\"SSTFlashFWUpdate\""),
      "SubSystemID::" + hex(l_Subsystem, chance(a_rRandom, 50)),
      "PinOutAddr::" + hex(below(a_rRandom, 0x10000), true),
      "PinOutVer::" + hex(below(a_rRandom, 16), chance(a_rRandom, 50)),
      "Offset::" + hex(below(a_rRandom, 0x200000), true),
      "Version::" + hex(l_Version, chance(a_rRandom, 50)),
      "ByteCount::" + (chance(a_rRandom, 20) ? " " : std::string()) + std::to_string(l_Count),
      "CRC::" + l_Crc};
  if (chance(a_rRandom, 3)) l_Lines[0] = "UpdateType::SSTFlashFWUpdate";
  std::shuffle(l_Lines.begin(), l_Lines.end(), a_rRandom);
  if (chance(a_rRandom, 5)) l_Lines.erase(l_Lines.begin() + below(a_rRandom, l_Lines.size()));

  std::string l_Text = "HeaderVersion::" + l_HeaderVersion + "\r\n";
  for (const std::string& l_rLine : l_Lines) l_Text += l_rLine + "\r\n";
  if (!chance(a_rRandom, 3)) l_Text += "\r\n";
  return l_Text + layOut(a_rRandom, encode(l_Bytes));
}

}  // namespace

std::string generateImage(std::mt19937& a_rRandom, const sCardState& a_rCard) {
  std::string l_Image;
  if (chance(a_rRandom, 10)) l_Image = "Firmware image for the upstream link card\r\n";
  const uint32_t l_Sections = 1 + below(a_rRandom, chance(a_rRandom, 70) ? 1 : 3);
  for (uint32_t l_Index = 0; l_Index < l_Sections; ++l_Index) {
    l_Image += oneSection(a_rRandom, a_rCard);
  }
  return l_Image;
}

std::string mutateImage(std::mt19937& a_rRandom, std::string a_Image) {
  static const char* const kTokens[] = {"HeaderVersion::",
                                        "\r\n\r\n",
                                        "\r\n",
                                        "UpdateType::\"SSTFlashFWUpdate\"",
                                        "UpdateType::\"ISSIFlashFWUpdate\"",
                                        "\nVersion::FF",
                                        "CRC::0",
                                        "ByteCount::1",
                                        "QUJD",
                                        "="};
  const uint32_t l_Changes = 1 + below(a_rRandom, 3);
  for (uint32_t l_Change = 0; l_Change < l_Changes; ++l_Change) {
    const size_t l_At =
        a_Image.empty() ? 0 : below(a_rRandom, static_cast<uint32_t>(a_Image.size()));
    switch (below(a_rRandom, 6)) {
      case 0:
        if (!a_Image.empty())
          a_Image[l_At] = static_cast<char>(a_Image[l_At] ^ (1 << below(a_rRandom, 8)));
        break;
      case 1:
        a_Image.erase(l_At, 1 + below(a_rRandom, 8));
        break;
      case 2:
        a_Image.insert(l_At, 1, static_cast<char>(below(a_rRandom, 256)));
        break;
      case 3:
        a_Image.insert(l_At, kTokens[below(a_rRandom, sizeof(kTokens) / sizeof(kTokens[0]))]);
        break;
      case 4:
        a_Image.resize(l_At);
        break;
      default:
        a_Image.insert(
            l_At, a_Image.substr(below(a_rRandom, static_cast<uint32_t>(a_Image.size() + 1)), 20));
        break;
    }
  }
  return a_Image;
}

}  // namespace qvzreliability
