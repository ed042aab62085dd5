// Small text forms shared by the renderers and commands.
#pragma once

#include <cstdint>
#include <string>

#include "sItemRecord.h"

namespace nQvzelTool {

// "0x" and at least a_Digits upper-case hex digits.
std::string hexText(uint64_t a_Value, int a_Digits = 1);
// Decimal value, or "-" when absent.
std::string decimalOrDash(const sU32Value& a_rValue);
// Hex value, or "-" when absent.
std::string hexOrDash(const sU32Value& a_rValue, int a_Digits = 1);
// The text, or "-" when absent or empty.
std::string textOrDash(const sTextValue& a_rValue);
// "vvvv:pppp" in lower-case hex as lspci shows IDs, or "-".
std::string idPairText(const sItemRecord& a_rItem);
// Name of the flash type a card reports as its flash identifier, or null.
const char* flashTypeName(uint32_t a_FlashId);
// "status -52006 (QVZEL_ERR_NOT_FOUND): Not found, or no such device."
std::string statusText(int32_t a_Code);

}  // namespace nQvzelTool
