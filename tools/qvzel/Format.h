// SPDX-License-Identifier: LGPL-2.1-or-later
// Small text forms shared by the renderers and commands.
//
// Every text that comes from outside the tool (a device, the controller
// file, an image file, an argument) goes through displayText() before it
// reaches the terminal; JSON output has escapes of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DisplayText.h"
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
// A link speed code as the PCI bridge library gives it (the PCI Express Link
// Status code): "Gen3 8 GT/s"; "unknown (code 0)" for a code without a rate.
std::string linkSpeedText(uint32_t a_Code);
// Whether the code names a rate.
bool linkSpeedKnown(uint32_t a_Code);
// A link width in lanes: "x4".
std::string linkWidthText(uint32_t a_Lanes);
// A link status value (speed code in bits 0-3, width in bits 4-9):
// "Gen3 8 GT/s x4", or "no link" when its width is 0.
std::string linkStatusText(uint32_t a_Status);
// Whether a link status value tells of a link that is up: its negotiated
// width is not 0 (a down link may still report a speed code).
bool linkUp(uint32_t a_Status);
// The speed code and the width of a link status value.
uint32_t linkStatusSpeed(uint32_t a_Status);
uint32_t linkStatusWidth(uint32_t a_Status);
// Columns a display text takes: its UTF-8 characters.
size_t textColumns(const std::string& a_rText);
// a_rText (a display text) as lines of at most a_Columns columns, each ended
// by a line feed: the first after a_rFirst, the others after a_rNext, broken
// at spaces (a word too long for a line is broken where the line ends).
std::string wrapText(const std::string& a_rFirst, const std::string& a_rText,
                     const std::string& a_rNext, size_t a_Columns);
// Fields (display texts) on lines of at most a_Columns columns, two spaces
// apart, each line ended by a line feed: the first line after a_rFirst, the
// others after a_rNext. A field is moved to the next line whole; one too
// long for any line is wrapped as wrapText() does.
std::string wrapFields(const std::string& a_rFirst, const std::vector<std::string>& a_rFields,
                       const std::string& a_rNext, size_t a_Columns);
// The sentence of a status code; a code of the PCI bridge library that the
// table does not name is told as that library's own.
std::string statusSentence(int32_t a_Code);
// "status -52006 (QVZEL_ERR_NOT_FOUND): Not found, or no such device."
std::string statusText(int32_t a_Code);

}  // namespace nQvzelTool
