// SPDX-License-Identifier: LGPL-2.1-or-later
// Decoding of what sysfs shows about a PCI function's link: the text of
// current_link_speed, and the configuration space image read from "config"
// (256 bytes for root, usually only the first 64 for other users).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvpcibrd {

class cPcieConfig {
 public:
  explicit cPcieConfig(std::vector<uint8_t> a_Bytes);

  // The function answered the read (an absent or powered-off function reads
  // as all ones).
  bool isValid() const;
  // The bus below a PCI-to-PCI bridge (type 1 header, byte 0x19).
  bool secondaryBus(uint8_t& a_rBus) const;
  // Link Capabilities and Link Status of the PCI Express capability, when
  // that capability lies within the bytes that could be read.
  bool linkCapabilities(uint32_t& a_rValue) const;
  bool linkStatus(uint16_t& a_rValue) const;
  // Offset of capability a_Id in the standard list, 0 when absent or unreadable.
  size_t findCapability(uint8_t a_Id) const;

  // The Link Status speed code for a current_link_speed text ("8.0 GT/s PCIe",
  // or the older "5 GT/s"): 1 = 2.5 GT/s, 2 = 5, 3 = 8, 4 = 16, 5 = 32, 6 = 64.
  // 0 for "Unknown" and any rate not listed (the link is down or unknown).
  static uint32_t speedCodeFromText(const std::string& a_rText);

 private:
  bool read16(size_t a_Offset, uint16_t& a_rValue) const;
  bool read32(size_t a_Offset, uint32_t& a_rValue) const;

  std::vector<uint8_t> m_Bytes;
};

}  // namespace qvpcibrd
