// SPDX-License-Identifier: LGPL-2.1-or-later
// Firmware images for the system tests, built as readable text: one header of
// "Key::value" lines per section, a blank line, and the payload in Base64.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace systest {

// The image checksum: CRC-32 with polynomial 0x1EDC6F41, most significant
// bit first, initial value and result complemented.
uint32_t imageCrc(const std::vector<uint8_t>& a_rBytes);

std::string base64(const std::vector<uint8_t>& a_rBytes);

// One section. The header lines come out in this order; a field set to the
// text "-" is left out of the header altogether.
struct sSection {
  std::string m_HeaderVersion = "2";
  std::string m_UpdateType = "\"ISSIFlashFWUpdate\"";
  std::string m_SubSystemId = "5A31";
  std::string m_PinOutAddr = "40";
  std::string m_PinOutVer = "2";
  std::string m_Offset = "100000";
  std::string m_Version = "200";
  std::vector<uint8_t> m_Payload = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
  // Empty: computed from the payload.
  std::string m_ByteCount;
  std::string m_Crc;
  // Text put between the header's last line and the payload; the blank
  // line that ends a header by default.
  std::string m_HeaderEnd = "\r\n";
};

std::string sectionText(const sSection& a_rSection);
// Sections one after another.
std::string imageText(const std::vector<sSection>& a_rSections);

}  // namespace systest
