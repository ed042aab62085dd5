// SPDX-License-Identifier: LGPL-2.1-or-later
// An independent reading of the firmware image rules, for checking updates
// from the outside: given an image and a card, does an update write, and
// what? Written from the image format's rules alone; it shares no code with
// the library's parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvzreliability {

// What the card reports through its driver.
struct sCardState {
  uint32_t m_FlashId;
  uint32_t m_SubsystemId;
  uint32_t m_InstalledVersion;
};

// The write an accepted image makes.
struct sExpectedWrite {
  bool m_Writes = false;
  std::vector<uint8_t> m_Bytes;
  uint32_t m_PinOutAddr = 0;
  uint32_t m_PinOutVer = 0;
  uint32_t m_Offset = 0;
  // Why an image is refused, for failure messages.
  std::string m_Reason;
};

sExpectedWrite expectedUpdate(const std::string& a_rImage, const sCardState& a_rCard,
                              uint32_t a_Force);

// The image checksum, bit by bit: CRC-32 with polynomial 0x1EDC6F41, most
// significant bit first, initial value and result complemented.
uint32_t bitwiseImageCrc(const std::vector<uint8_t>& a_rBytes);

}  // namespace qvzreliability
