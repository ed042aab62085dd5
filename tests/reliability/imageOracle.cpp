// SPDX-License-Identifier: LGPL-2.1-or-later
#include "imageOracle.h"

#include <cerrno>
#include <cstdlib>

namespace qvzreliability {

namespace {

const std::string kHeaderVersion = "HeaderVersion::";

// First position p >= a_From where a_rKey starts with at least one byte after it.
size_t keyAt(const std::string& a_rImage, size_t a_Base, size_t a_From, const std::string& a_rKey) {
  for (size_t l_Pos = a_Base + a_From; l_Pos + a_rKey.size() < a_rImage.size(); ++l_Pos) {
    if (a_rImage.compare(l_Pos, a_rKey.size(), a_rKey) == 0) return l_Pos;
  }
  return std::string::npos;
}

// The value after the first a_rKey at or after a_Base: up to CR LF or the end.
bool valueOf(const std::string& a_rImage, size_t a_Base, const std::string& a_rKey,
             std::string& a_rValue) {
  const size_t l_Key = keyAt(a_rImage, a_Base, 0, a_rKey);
  if (l_Key == std::string::npos) return false;
  const size_t l_Begin = l_Key + a_rKey.size();
  size_t l_End = a_rImage.find("\r\n", l_Begin);
  if (l_End == std::string::npos) l_End = a_rImage.size();
  a_rValue = a_rImage.substr(l_Begin, l_End - l_Begin);
  return true;
}

// strtol / strtoul on the value as a C text (it ends at a NUL), cut to 32 bits.
uint32_t signedValue(const std::string& a_rValue, int a_Base) {
  return static_cast<uint32_t>(std::strtol(a_rValue.c_str(), nullptr, a_Base));
}
uint32_t unsignedValue(const std::string& a_rValue, int a_Base) {
  return static_cast<uint32_t>(std::strtoul(a_rValue.c_str(), nullptr, a_Base));
}
// Header numbers are unsigned 32-bit: strtol reads the value without
// overflow into 0 to 0xFFFFFFFF.
bool inRange(const std::string& a_rValue, int a_Base) {
  errno = 0;
  const long l_Value = std::strtol(a_rValue.c_str(), nullptr, a_Base);
  return errno == 0 && l_Value >= 0 && l_Value <= long{UINT32_MAX};
}

int base64Value(unsigned char a_Char) {
  if (a_Char >= 'A' && a_Char <= 'Z') return a_Char - 'A';
  if (a_Char >= 'a' && a_Char <= 'z') return a_Char - 'a' + 26;
  if (a_Char >= '0' && a_Char <= '9') return a_Char - '0' + 52;
  if (a_Char == '+') return 62;
  if (a_Char == '/') return 63;
  return -1;
}

std::vector<uint8_t> decode(const std::string& a_rText) {
  std::vector<uint8_t> l_Bytes;
  uint32_t l_Bits = 0;
  int l_BitCount = 0;
  for (const char l_Char : a_rText) {
    const int l_Value = base64Value(static_cast<unsigned char>(l_Char));
    if (l_Value < 0) continue;
    l_Bits = (l_Bits << 6) | static_cast<uint32_t>(l_Value);
    l_BitCount += 6;
    if (l_BitCount >= 8) {
      l_BitCount -= 8;
      l_Bytes.push_back(static_cast<uint8_t>(l_Bits >> l_BitCount));
    }
  }
  return l_Bytes;
}

sExpectedWrite refuse(const std::string& a_rReason) {
  sExpectedWrite l_Result;
  l_Result.m_Reason = a_rReason;
  return l_Result;
}

struct sSection {
  size_t m_Start;
  size_t m_End;
  uint32_t m_FlashId;
};

}  // namespace

uint32_t bitwiseImageCrc(const std::vector<uint8_t>& a_rBytes) {
  uint32_t l_Crc = 0xFFFFFFFFu;
  for (const uint8_t l_Byte : a_rBytes) {
    l_Crc ^= static_cast<uint32_t>(l_Byte) << 24;
    for (int l_Bit = 0; l_Bit < 8; ++l_Bit) {
      l_Crc = (l_Crc & 0x80000000u) ? (l_Crc << 1) ^ 0x1EDC6F41u : (l_Crc << 1);
    }
  }
  return l_Crc ^ 0xFFFFFFFFu;
}

sExpectedWrite expectedUpdate(const std::string& a_rImage, const sCardState& a_rCard,
                              uint32_t a_Force) {
  // Sections: from each header version key to just before the next one.
  std::vector<sSection> l_Sections;
  size_t l_Start = keyAt(a_rImage, 0, 0, kHeaderVersion);
  if (l_Start == std::string::npos) return refuse("no section");
  while (l_Start != std::string::npos) {
    const size_t l_Next = keyAt(a_rImage, 0, l_Start + 1, kHeaderVersion);
    std::string l_Type;
    if (!valueOf(a_rImage, l_Start, "UpdateType::", l_Type)) return refuse("no update type");
    uint32_t l_FlashId = 0;
    if (l_Type == "\"ISSIFlashFWUpdate\"") {
      l_FlashId = 0x9D17;
    } else if (l_Type == "\"SSTFlashFWUpdate\"") {
      l_FlashId = 0xBF8E;
    } else {
      return refuse("unknown update type");
    }
    l_Sections.push_back(
        {l_Start, l_Next == std::string::npos ? a_rImage.size() : l_Next - 1, l_FlashId});
    l_Start = l_Next;
  }

  const sSection* l_pChosen = nullptr;
  for (const sSection& l_rSection : l_Sections) {
    if (l_rSection.m_FlashId == a_rCard.m_FlashId) l_pChosen = &l_rSection;
  }
  if (l_pChosen == nullptr) return refuse("no section for the card's flash");
  const size_t l_Base = l_pChosen->m_Start;

  std::string l_Value;
  if (!valueOf(a_rImage, l_Base, kHeaderVersion, l_Value)) return refuse("no header version");
  if (!inRange(l_Value, 10)) return refuse("header version out of range");
  if (static_cast<int32_t>(signedValue(l_Value, 10)) != 2) return refuse("header version");
  if (!valueOf(a_rImage, l_Base, "SubSystemID::", l_Value)) return refuse("no subsystem ID");
  if (!inRange(l_Value, 16)) return refuse("subsystem ID out of range");
  if (unsignedValue(l_Value, 16) != a_rCard.m_SubsystemId) return refuse("subsystem ID");

  sExpectedWrite l_Write;
  uint32_t l_Version = 0;
  const std::pair<const char*, uint32_t*> l_HexKeys[] = {{"PinOutAddr::", &l_Write.m_PinOutAddr},
                                                         {"PinOutVer::", &l_Write.m_PinOutVer},
                                                         {"Offset::", &l_Write.m_Offset},
                                                         {"\nVersion::", &l_Version}};
  for (const auto& l_rKey : l_HexKeys) {
    if (!valueOf(a_rImage, l_Base, l_rKey.first, l_Value)) return refuse("missing hex key");
    if (!inRange(l_Value, 16)) return refuse("hex key out of range");
    *l_rKey.second = unsignedValue(l_Value, 16);
  }
  if (!(l_Version > a_rCard.m_InstalledVersion || (a_Force & 1u) != 0)) return refuse("not newer");

  if (!valueOf(a_rImage, l_Base, "ByteCount::", l_Value)) return refuse("no byte count");
  const bool l_CountInRange = inRange(l_Value, 10);
  const int32_t l_ByteCount = static_cast<int32_t>(signedValue(l_Value, 10));
  if (!valueOf(a_rImage, l_Base, "CRC::", l_Value)) return refuse("no checksum");
  if (!l_CountInRange || !inRange(l_Value, 10))
    return refuse("byte count or checksum out of range");
  const uint64_t l_Crc = std::strtoul(l_Value.c_str(), nullptr, 10);

  // The payload runs from after the first blank line to the section's end.
  const size_t l_Blank = keyAt(a_rImage, l_Base, 0, "\r\n\r\n");
  if (l_Blank == std::string::npos) return refuse("no blank line");
  const size_t l_PayloadStart = l_Blank + 4;
  if (l_PayloadStart >= l_pChosen->m_End) return refuse("empty payload");
  l_Write.m_Bytes = decode(a_rImage.substr(l_PayloadStart, l_pChosen->m_End - l_PayloadStart));
  if (static_cast<int64_t>(l_Write.m_Bytes.size()) != l_ByteCount) return refuse("byte count");
  // The library refuses to program an empty firmware, whatever the header says.
  if (l_Write.m_Bytes.empty()) return refuse("empty firmware");
  if (bitwiseImageCrc(l_Write.m_Bytes) != l_Crc) return refuse("checksum");
  l_Write.m_Writes = true;
  return l_Write;
}

}  // namespace qvzreliability
