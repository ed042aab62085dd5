// SPDX-License-Identifier: LGPL-2.1-or-later
// Small text helpers that write the simulated kernel driver's device files
// and logs and find fields in them; they are read back with the
// simulated-system rules of systemText.h.
#pragma once

#include <cstdint>
#include <string>

namespace nQvDriverSim_1_0 {
namespace textFields {

std::string toHex(const uint8_t* a_pBytes, size_t a_Count);
std::string hex32(uint32_t a_Value);  // "0x0000ABCD"

// Splits "word key=value key=value" into the word and its fields.
bool findField(const std::string& a_rLine, const std::string& a_rKey, std::string& a_rValue);

}  // namespace textFields
}  // namespace nQvDriverSim_1_0
