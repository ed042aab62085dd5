// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Format.h"

#include <cstdio>

#include "FirmwareImage.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {
// Link speed codes 1 to 6 of the PCI Express Link Status register.
const char* const kLinkSpeeds[] = {"Gen1 2.5 GT/s", "Gen2 5 GT/s",  "Gen3 8 GT/s",
                                   "Gen4 16 GT/s",  "Gen5 32 GT/s", "Gen6 64 GT/s"};
constexpr uint32_t kLinkSpeedMask = 0xF;
constexpr uint32_t kLinkWidthShift = 4;
constexpr uint32_t kLinkWidthMask = 0x3F;

}  // namespace

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

bool linkUp(uint32_t a_Status) { return linkStatusWidth(a_Status) != 0; }

std::string linkStatusText(uint32_t a_Status) {
  if (!linkUp(a_Status)) return "no link";
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

size_t textColumns(const std::string& a_rText) {
  size_t l_Columns = 0;
  for (const char l_Char : a_rText) {
    if ((static_cast<unsigned char>(l_Char) & 0xC0) != 0x80) ++l_Columns;
  }
  return l_Columns;
}

namespace {
// The byte offset after the first a_Columns characters of a_rText from a_Pos.
size_t advanceColumns(const std::string& a_rText, size_t a_Pos, size_t a_Columns) {
  size_t l_Pos = a_Pos;
  for (size_t l_Seen = 0; l_Pos < a_rText.size(); ++l_Pos) {
    if ((static_cast<unsigned char>(a_rText[l_Pos]) & 0xC0) != 0x80 && l_Seen++ == a_Columns) break;
  }
  return l_Pos;
}
}  // namespace

std::string wrapText(const std::string& a_rFirst, const std::string& a_rText,
                     const std::string& a_rNext, size_t a_Columns) {
  std::string l_Out;
  const std::string* l_pPrefix = &a_rFirst;
  size_t l_Pos = 0;
  do {
    const size_t l_PrefixColumns = textColumns(*l_pPrefix);
    // At least a few characters per line, whatever the prefix.
    const size_t l_Room = a_Columns > l_PrefixColumns + 8 ? a_Columns - l_PrefixColumns : 8;
    size_t l_End = advanceColumns(a_rText, l_Pos, l_Room);
    size_t l_Next = l_End;
    if (l_End < a_rText.size()) {
      const size_t l_Space = a_rText.rfind(' ', l_End);
      if (l_Space != std::string::npos && l_Space > l_Pos) {
        l_End = l_Space;
        l_Next = l_Space + 1;
      }
    }
    l_Out += *l_pPrefix + a_rText.substr(l_Pos, l_End - l_Pos) + '\n';
    l_Pos = l_Next;
    while (l_Pos < a_rText.size() && a_rText[l_Pos] == ' ') ++l_Pos;
    l_pPrefix = &a_rNext;
  } while (l_Pos < a_rText.size());
  return l_Out;
}

std::string wrapFields(const std::string& a_rFirst, const std::vector<std::string>& a_rFields,
                       const std::string& a_rNext, size_t a_Columns) {
  std::string l_Out;
  std::string l_Line = a_rFirst;
  bool l_Empty = true;  // l_Line holds only its prefix
  for (const std::string& l_rField : a_rFields) {
    if (!l_Empty && textColumns(l_Line) + 2 + textColumns(l_rField) > a_Columns) {
      l_Out += l_Line + '\n';
      l_Line = a_rNext;
      l_Empty = true;
    }
    if (l_Empty && textColumns(l_Line) + textColumns(l_rField) > a_Columns) {
      l_Out += wrapText(l_Line, l_rField, a_rNext, a_Columns);
      l_Line = a_rNext;
      continue;
    }
    l_Line += (l_Empty ? "" : "  ") + l_rField;
    l_Empty = false;
  }
  if (!l_Empty || l_Out.empty()) l_Out += l_Line + '\n';
  return l_Out;
}

namespace {
// The PCI bridge library's result codes lie in this range; those the status
// table does not name are its own, passed through by the library.
constexpr int32_t kBridgeCodeFirst = -313999;
constexpr int32_t kBridgeCodeLast = -313000;

bool unnamedBridgeCode(int32_t a_Code) {
  return a_Code >= kBridgeCodeFirst && a_Code <= kBridgeCodeLast &&
         qvzel_status_find(a_Code) == nullptr;
}
}  // namespace

std::string statusSentence(int32_t a_Code) {
  if (unnamedBridgeCode(a_Code)) {
    return "A failure reported by the PCI bridge library libqvpcibrd.so.1 with its own code " +
           std::to_string(a_Code) + ", which this tool does not name.";
  }
  return qvzel_status_text(a_Code);
}

std::string statusText(int32_t a_Code) {
  const std::string l_Name =
      unnamedBridgeCode(a_Code) ? "bridge library code" : qvzel_status_name(a_Code);
  return "status " + std::to_string(a_Code) + " (" + l_Name + "): " + statusSentence(a_Code);
}

}  // namespace nQvzelTool
