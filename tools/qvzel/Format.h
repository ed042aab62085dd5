// Small text forms shared by the renderers and commands.
//
// Every text that comes from outside the tool (a device, the controller
// file, an image file, an argument) goes through displayText() before it
// reaches the terminal; JSON output has escapes of its own.
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
// a_rText with every control character, and every byte that is not part of
// printable UTF-8, written as a visible escape (\n, \r, \t, \x1B), so that
// such a text cannot move the cursor or steer the terminal. Escaping an
// escaped text changes nothing.
std::string displayText(const std::string& a_rText);
// A link speed code as the PCI bridge library gives it (the PCI Express Link
// Status code): "Gen3 8 GT/s"; "unknown (code 0)" for a code without a rate.
std::string linkSpeedText(uint32_t a_Code);
// Whether the code names a rate.
bool linkSpeedKnown(uint32_t a_Code);
// A link width in lanes: "x4".
std::string linkWidthText(uint32_t a_Lanes);
// A link status value (speed code in bits 0-3, width in bits 4-9):
// "Gen3 8 GT/s x4", or "no link" for 0.
std::string linkStatusText(uint32_t a_Status);
// The speed code and the width of a link status value.
uint32_t linkStatusSpeed(uint32_t a_Status);
uint32_t linkStatusWidth(uint32_t a_Status);
// "status -52006 (QVZEL_ERR_NOT_FOUND): Not found, or no such device."
std::string statusText(int32_t a_Code);

}  // namespace nQvzelTool
