// SPDX-License-Identifier: LGPL-2.1-or-later
// The lexical rules of simulated-system files: blanks, "key = value",
// numbers and hex bytes. The simulated kernel driver's device files and logs follow the
// same rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvSimSystem_1_0 {

// a_rText without leading and trailing blanks.
std::string trim(const std::string& a_rText);

// Splits "key = value" at the first '=' and trims both sides; false when
// there is no '=' or the key is empty.
bool splitKeyValue(const std::string& a_rLine, std::string& a_rKey, std::string& a_rValue);

// A decimal or 0x-hexadecimal number, optionally with a '-' sign, that fills
// the whole text: no blanks, no '+'.
bool parseNumber(const std::string& a_rText, int64_t& a_rValue);
// parseNumber limited to what fits 32 bits, unsigned or signed.
bool parseU32(const std::string& a_rText, uint32_t& a_rValue);
bool parseI32(const std::string& a_rText, int32_t& a_rValue);

// Hex byte pairs, blanks allowed between pairs: "41 42 00" or "414200".
bool parseHexBytes(const std::string& a_rText, std::vector<uint8_t>& a_rBytes);

}  // namespace nQvSimSystem_1_0
