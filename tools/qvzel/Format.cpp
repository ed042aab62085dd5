#include "Format.h"

#include <cstdio>

#include "device/FirmwareImage.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {
// Link speed codes 1 to 6 of the PCI Express Link Status register.
const char* const kLinkSpeeds[] = {"Gen1 2.5 GT/s", "Gen2 5 GT/s",  "Gen3 8 GT/s",
                                   "Gen4 16 GT/s",  "Gen5 32 GT/s", "Gen6 64 GT/s"};
constexpr uint32_t kLinkSpeedMask = 0xF;
constexpr uint32_t kLinkWidthShift = 4;
constexpr uint32_t kLinkWidthMask = 0x3F;

void appendByteEscape(std::string& a_rOut, unsigned char a_Byte) {
  char l_Escape[8];
  std::snprintf(l_Escape, sizeof(l_Escape), "\\x%02X", a_Byte);
  a_rOut += l_Escape;
}

// Length of the valid UTF-8 sequence of a printable character (not a C1
// control) at a_Pos, or 0.
size_t printableUtf8Length(const std::string& a_rText, size_t a_Pos) {
  const auto l_Byte = [&](size_t a_Offset) {
    return static_cast<unsigned char>(a_rText[a_Pos + a_Offset]);
  };
  const unsigned char l_Lead = l_Byte(0);
  size_t l_Length = 0;
  unsigned char l_Low = 0x80;  // range of the second byte, against overlong forms
  unsigned char l_High = 0xBF;
  if (l_Lead >= 0xC2 && l_Lead <= 0xDF) {
    l_Length = 2;
  } else if (l_Lead >= 0xE0 && l_Lead <= 0xEF) {
    l_Length = 3;
    if (l_Lead == 0xE0) l_Low = 0xA0;
    if (l_Lead == 0xED) l_High = 0x9F;  // no surrogates
  } else if (l_Lead >= 0xF0 && l_Lead <= 0xF4) {
    l_Length = 4;
    if (l_Lead == 0xF0) l_Low = 0x90;
    if (l_Lead == 0xF4) l_High = 0x8F;
  } else {
    return 0;
  }
  if (a_Pos + l_Length > a_rText.size()) return 0;
  if (l_Byte(1) < l_Low || l_Byte(1) > l_High) return 0;
  for (size_t l_Offset = 2; l_Offset < l_Length; ++l_Offset) {
    if (l_Byte(l_Offset) < 0x80 || l_Byte(l_Offset) > 0xBF) return 0;
  }
  // U+0080 to U+009F are the C1 controls (CSI among them).
  if (l_Lead == 0xC2 && l_Byte(1) < 0xA0) return 0;
  return l_Length;
}

}  // namespace

std::string displayText(const std::string& a_rText) {
  std::string l_Out;
  l_Out.reserve(a_rText.size());
  size_t l_Pos = 0;
  while (l_Pos < a_rText.size()) {
    const unsigned char l_Byte = static_cast<unsigned char>(a_rText[l_Pos]);
    if (l_Byte >= 0x20 && l_Byte < 0x7F) {
      l_Out += a_rText[l_Pos++];
    } else if (l_Byte == '\n') {
      l_Out += "\\n";
      ++l_Pos;
    } else if (l_Byte == '\r') {
      l_Out += "\\r";
      ++l_Pos;
    } else if (l_Byte == '\t') {
      l_Out += "\\t";
      ++l_Pos;
    } else if (const size_t l_Length = l_Byte >= 0x80 ? printableUtf8Length(a_rText, l_Pos) : 0) {
      l_Out.append(a_rText, l_Pos, l_Length);
      l_Pos += l_Length;
    } else {
      appendByteEscape(l_Out, l_Byte);
      ++l_Pos;
    }
  }
  return l_Out;
}

bool linkSpeedKnown(uint32_t a_Code) {
  return a_Code >= 1 && a_Code <= sizeof(kLinkSpeeds) / sizeof(kLinkSpeeds[0]);
}

std::string linkSpeedText(uint32_t a_Code) {
  if (linkSpeedKnown(a_Code)) return kLinkSpeeds[a_Code - 1];
  return "unknown (code " + std::to_string(a_Code) + ")";
}

std::string linkWidthText(uint32_t a_Lanes) { return "x" + std::to_string(a_Lanes); }

uint32_t linkStatusSpeed(uint32_t a_Status) { return a_Status & kLinkSpeedMask; }

uint32_t linkStatusWidth(uint32_t a_Status) {
  return (a_Status >> kLinkWidthShift) & kLinkWidthMask;
}

std::string linkStatusText(uint32_t a_Status) {
  if (a_Status == 0) return "no link";
  return linkSpeedText(linkStatusSpeed(a_Status)) + " " + linkWidthText(linkStatusWidth(a_Status));
}

const char* kindName(eItemKind a_Kind) {
  switch (a_Kind) {
    case eItemKind::kUpstream:
      return "upstream";
    case eItemKind::kController:
      return "controller";
    case eItemKind::kUnknown:
      break;
  }
  return "unknown";
}

std::string pciAddressText(const sItemRecord& a_rItem) {
  if (!a_rItem.m_Bus.m_Present || !a_rItem.m_Device.m_Present || !a_rItem.m_Function.m_Present) {
    return "-";
  }
  char l_Text[32];
  std::snprintf(l_Text, sizeof(l_Text), "%02x:%02x.%x", a_rItem.m_Bus.m_Value,
                a_rItem.m_Device.m_Value, a_rItem.m_Function.m_Value);
  return l_Text;
}

std::string hexText(uint64_t a_Value, int a_Digits) {
  char l_Text[32];
  std::snprintf(l_Text, sizeof(l_Text), "0x%0*llX", a_Digits,
                static_cast<unsigned long long>(a_Value));
  return l_Text;
}

std::string decimalOrDash(const sU32Value& a_rValue) {
  return a_rValue.m_Present ? std::to_string(a_rValue.m_Value) : "-";
}

std::string hexOrDash(const sU32Value& a_rValue, int a_Digits) {
  return a_rValue.m_Present ? hexText(a_rValue.m_Value, a_Digits) : "-";
}

std::string textOrDash(const sTextValue& a_rValue) {
  return (a_rValue.m_Present && !a_rValue.m_Value.empty()) ? displayText(a_rValue.m_Value) : "-";
}

std::string idPairText(const sItemRecord& a_rItem) {
  if (!a_rItem.m_VendorId.m_Present || !a_rItem.m_ProductId.m_Present) return "-";
  char l_Text[32];
  std::snprintf(l_Text, sizeof(l_Text), "%04x:%04x", a_rItem.m_VendorId.m_Value,
                a_rItem.m_ProductId.m_Value);
  return l_Text;
}

const char* flashTypeName(uint32_t a_FlashId) {
  if (a_FlashId == nQVZEL_15_0::kIssiFlashId) return "ISSI";
  if (a_FlashId == nQVZEL_15_0::kSstFlashId) return "SST";
  return nullptr;
}

std::string statusText(int32_t a_Code) {
  return "status " + std::to_string(a_Code) + " (" + qvzel_status_name(a_Code) +
         "): " + qvzel_status_text(a_Code);
}

}  // namespace nQvzelTool
