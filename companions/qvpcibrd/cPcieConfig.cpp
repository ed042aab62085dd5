// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cPcieConfig.h"

#include <cstdlib>
#include <utility>

namespace qvpcibrd {
namespace {

constexpr size_t kStatusRegister = 0x06;
constexpr uint16_t kStatusCapabilityList = 0x0010;
constexpr size_t kHeaderType = 0x0E;
constexpr size_t kSecondaryBus = 0x19;
constexpr size_t kCapabilityPointer = 0x34;
constexpr size_t kFirstCapability = 0x40;
constexpr uint8_t kPcieCapabilityId = 0x10;
constexpr size_t kLinkCapabilities = 0x0C;  // from the start of the PCIe capability
constexpr size_t kLinkStatus = 0x12;
// More entries than fit into the standard space means the list loops.
constexpr int kMaxCapabilities = 48;

}  // namespace

cPcieConfig::cPcieConfig(std::vector<uint8_t> a_Bytes) : m_Bytes(std::move(a_Bytes)) {}

bool cPcieConfig::read16(size_t a_Offset, uint16_t& a_rValue) const {
  if (a_Offset + 2 > m_Bytes.size()) return false;
  a_rValue = static_cast<uint16_t>(m_Bytes[a_Offset] | (m_Bytes[a_Offset + 1] << 8));
  return true;
}

bool cPcieConfig::read32(size_t a_Offset, uint32_t& a_rValue) const {
  uint16_t l_Low = 0, l_High = 0;
  if (!read16(a_Offset, l_Low) || !read16(a_Offset + 2, l_High)) return false;
  a_rValue = l_Low | (static_cast<uint32_t>(l_High) << 16);
  return true;
}

bool cPcieConfig::isValid() const {
  uint16_t l_Vendor = 0;
  return read16(0, l_Vendor) && l_Vendor != 0xFFFF;
}

bool cPcieConfig::secondaryBus(uint8_t& a_rBus) const {
  if (!isValid() || kSecondaryBus >= m_Bytes.size()) return false;
  if ((m_Bytes[kHeaderType] & 0x7F) != 1) return false;
  a_rBus = m_Bytes[kSecondaryBus];
  return true;
}

size_t cPcieConfig::findCapability(uint8_t a_Id) const {
  uint16_t l_Status = 0;
  if (!isValid() || !read16(kStatusRegister, l_Status) || !(l_Status & kStatusCapabilityList) ||
      kCapabilityPointer >= m_Bytes.size()) {
    return 0;
  }
  size_t l_Offset = m_Bytes[kCapabilityPointer] & 0xFC;
  for (int l_Count = 0; l_Count < kMaxCapabilities; ++l_Count) {
    if (l_Offset < kFirstCapability || l_Offset + 1 >= m_Bytes.size()) return 0;
    if (m_Bytes[l_Offset] == a_Id) return l_Offset;
    l_Offset = m_Bytes[l_Offset + 1] & 0xFC;
  }
  return 0;
}

bool cPcieConfig::linkCapabilities(uint32_t& a_rValue) const {
  const size_t l_Cap = findCapability(kPcieCapabilityId);
  return l_Cap && read32(l_Cap + kLinkCapabilities, a_rValue);
}

bool cPcieConfig::linkStatus(uint16_t& a_rValue) const {
  const size_t l_Cap = findCapability(kPcieCapabilityId);
  return l_Cap && read16(l_Cap + kLinkStatus, a_rValue);
}

uint32_t cPcieConfig::speedCodeFromText(const std::string& a_rText) {
  // Rates in tenths of GT/s, in the order of their codes.
  static const long kTenths[] = {25, 50, 80, 160, 320, 640};
  const char* l_pText = a_rText.c_str();
  char* l_pEnd = nullptr;
  const long l_Whole = std::strtol(l_pText, &l_pEnd, 10);
  // No rate above 64 GT/s is listed; a longer number must not overflow below.
  if (l_pEnd == l_pText || l_Whole < 0 || l_Whole > 64) return 0;
  long l_Tenths = l_Whole * 10;
  if (*l_pEnd == '.') {
    ++l_pEnd;
    if (*l_pEnd < '0' || *l_pEnd > '9') return 0;
    l_Tenths += *l_pEnd++ - '0';
    while (*l_pEnd >= '0' && *l_pEnd <= '9') {
      if (*l_pEnd++ != '0') return 0;
    }
  }
  if (std::string(l_pEnd).compare(0, 5, " GT/s") != 0) return 0;
  for (uint32_t l_Code = 1; l_Code <= sizeof kTenths / sizeof kTenths[0]; ++l_Code) {
    if (kTenths[l_Code - 1] == l_Tenths) return l_Code;
  }
  return 0;
}

}  // namespace qvpcibrd
