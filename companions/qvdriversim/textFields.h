// Small text helpers shared by the system file reader, the device files and
// the logs of the simulated kernel driver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvDriverSim_1_0 {
namespace textFields {

std::string trim(const std::string& a_rText);

// Splits "key = value" at the first '='; false when there is none.
bool splitKeyValue(const std::string& a_rLine, std::string& a_rKey, std::string& a_rValue);

// A decimal number or a 0x-hex number, optionally signed; the whole text
// must be the number.
bool parseNumber(const std::string& a_rText, int64_t& a_rValue);
// parseNumber limited to what fits 32 bits, signed or unsigned.
bool parseU32(const std::string& a_rText, uint32_t& a_rValue);
bool parseI32(const std::string& a_rText, int32_t& a_rValue);

// Hex byte pairs, spaces allowed between pairs: "41 42 00" or "414200".
bool parseHexBytes(const std::string& a_rText, std::vector<uint8_t>& a_rBytes);
std::string toHex(const uint8_t* a_pBytes, size_t a_Count);
std::string hex32(uint32_t a_Value);  // "0x0000ABCD"

// Splits "word key=value key=value" into the word and its fields.
bool findField(const std::string& a_rLine, const std::string& a_rKey, std::string& a_rValue);

}  // namespace textFields
}  // namespace nQvDriverSim_1_0
