// SPDX-License-Identifier: LGPL-2.1-or-later
// sEntryIdentity: what tells the device behind one driver entry from every
// other: the directory the driver publishes it in, its PCI numbers (with the
// PCI domain when the driver publishes one) and its serial number.
#pragma once

#include <cstdint>
#include <string>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

struct sEntryIdentity {
  // /proc/driver/qv/<device>: the entry with its last two components removed.
  std::string m_DeviceDirectory;
  // The 4-byte bus properties as read, all 32 bits.
  uint32_t m_Bus = 0;
  uint32_t m_Device = 0;
  uint32_t m_Function = 0;
  // The driver's properties name no PCI domain unless it adds this one:
  // without it, cards in two domains may carry the same numbers.
  bool m_HasDomain = false;
  uint32_t m_Domain = 0;
  // Empty when the device publishes none.
  std::string m_SerialNumber;
};

inline bool operator==(const sEntryIdentity& a_rLeft, const sEntryIdentity& a_rRight) {
  return a_rLeft.m_DeviceDirectory == a_rRight.m_DeviceDirectory &&
         a_rLeft.m_Bus == a_rRight.m_Bus && a_rLeft.m_Device == a_rRight.m_Device &&
         a_rLeft.m_Function == a_rRight.m_Function && a_rLeft.m_HasDomain == a_rRight.m_HasDomain &&
         a_rLeft.m_Domain == a_rRight.m_Domain && a_rLeft.m_SerialNumber == a_rRight.m_SerialNumber;
}

inline bool operator!=(const sEntryIdentity& a_rLeft, const sEntryIdentity& a_rRight) {
  return !(a_rLeft == a_rRight);
}

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
