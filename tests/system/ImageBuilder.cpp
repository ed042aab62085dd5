// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageBuilder.h"

namespace systest {

uint32_t imageCrc(const std::vector<uint8_t>& a_rBytes) {
  uint32_t l_Crc = 0xFFFFFFFF;
  for (uint8_t l_Byte : a_rBytes) {
    l_Crc ^= static_cast<uint32_t>(l_Byte) << 24;
    for (int l_Bit = 0; l_Bit < 8; ++l_Bit) {
      l_Crc = (l_Crc & 0x80000000u) ? (l_Crc << 1) ^ 0x1EDC6F41u : (l_Crc << 1);
    }
  }
  return l_Crc ^ 0xFFFFFFFF;
}

std::string base64(const std::vector<uint8_t>& a_rBytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string l_Text;
  for (size_t l_Index = 0; l_Index < a_rBytes.size(); l_Index += 3) {
    const size_t l_Left = a_rBytes.size() - l_Index;
    uint32_t l_Group = static_cast<uint32_t>(a_rBytes[l_Index]) << 16;
    if (l_Left > 1) l_Group |= static_cast<uint32_t>(a_rBytes[l_Index + 1]) << 8;
    if (l_Left > 2) l_Group |= a_rBytes[l_Index + 2];
    l_Text += kAlphabet[(l_Group >> 18) & 63];
    l_Text += kAlphabet[(l_Group >> 12) & 63];
    l_Text += l_Left > 1 ? kAlphabet[(l_Group >> 6) & 63] : '=';
    l_Text += l_Left > 2 ? kAlphabet[l_Group & 63] : '=';
  }
  return l_Text;
}

std::string sectionText(const sSection& a_rSection) {
  const std::string l_ByteCount = a_rSection.m_ByteCount.empty()
                                      ? std::to_string(a_rSection.m_Payload.size())
                                      : a_rSection.m_ByteCount;
  const std::string l_Crc =
      a_rSection.m_Crc.empty() ? std::to_string(imageCrc(a_rSection.m_Payload)) : a_rSection.m_Crc;
  const std::pair<const char*, std::string> l_Fields[] = {
      {"HeaderVersion::", a_rSection.m_HeaderVersion},
      {"UpdateType::", a_rSection.m_UpdateType},
      {"SubSystemID::", a_rSection.m_SubSystemId},
      {"PinOutAddr::", a_rSection.m_PinOutAddr},
      {"PinOutVer::", a_rSection.m_PinOutVer},
      {"Offset::", a_rSection.m_Offset},
      {"Version::", a_rSection.m_Version},
      {"ByteCount::", l_ByteCount},
      {"CRC::", l_Crc}};
  std::string l_Text;
  for (const auto& l_rField : l_Fields) {
    if (l_rField.second != "-") l_Text += l_rField.first + l_rField.second + "\r\n";
  }
  l_Text += a_rSection.m_HeaderEnd;
  // Payload lines of 64 characters, as image files carry them.
  const std::string l_Payload = base64(a_rSection.m_Payload);
  for (size_t l_Start = 0; l_Start < l_Payload.size(); l_Start += 64) {
    l_Text += l_Payload.substr(l_Start, 64) + "\r\n";
  }
  return l_Text;
}

std::string imageText(const std::vector<sSection>& a_rSections) {
  std::string l_Text;
  for (const sSection& l_rSection : a_rSections) l_Text += sectionText(l_rSection);
  return l_Text;
}

}  // namespace systest
