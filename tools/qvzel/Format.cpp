#include "Format.h"

#include <cstdio>

#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {
// Flash identifiers a card reports, matching the image sections' update types.
constexpr uint32_t kFlashIdIssi = 0x9D17;
constexpr uint32_t kFlashIdSst = 0xBF8E;
}  // namespace

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
  return (a_rValue.m_Present && !a_rValue.m_Value.empty()) ? a_rValue.m_Value : "-";
}

std::string idPairText(const sItemRecord& a_rItem) {
  if (!a_rItem.m_VendorId.m_Present || !a_rItem.m_ProductId.m_Present) return "-";
  char l_Text[32];
  std::snprintf(l_Text, sizeof(l_Text), "%04x:%04x", a_rItem.m_VendorId.m_Value,
                a_rItem.m_ProductId.m_Value);
  return l_Text;
}

const char* flashTypeName(uint32_t a_FlashId) {
  if (a_FlashId == kFlashIdIssi) return "ISSI";
  if (a_FlashId == kFlashIdSst) return "SST";
  return nullptr;
}

std::string statusText(int32_t a_Code) {
  return "status " + std::to_string(a_Code) + " (" + qvzel_status_name(a_Code) +
         "): " + qvzel_status_text(a_Code);
}

}  // namespace nQvzelTool
