// SPDX-License-Identifier: LGPL-2.1-or-later
// Builds firmware images of a chosen size for the image benchmarks: a small
// section for the SST flash followed by a section for the ISSI flash that
// fills the image, every header field valid for the benchmark card.
#pragma once

#include <cstdint>
#include <string>

namespace nQvBench {

// The card the images are made for (the benchmark systems describe it).
constexpr uint32_t kBenchCardSubsystemId = 0x5A31;
constexpr uint32_t kBenchCardInstalledVersion = 0x0100;
constexpr uint32_t kBenchImageVersion = 0x0200;

struct sMadeImage {
  std::string m_Text;           // the whole image
  uint32_t m_IssiStart = 0;     // offset of the ISSI section's header key
  uint32_t m_PayloadStart = 0;  // the ISSI section's payload
  uint32_t m_PayloadLength = 0;
  uint32_t m_DecodedLength = 0;  // its ByteCount::
  uint32_t m_Crc = 0;            // its CRC::
};

// An image of exactly a_Size bytes (at least 4 KiB). The payload bytes come
// from a fixed pseudo-random sequence, so equal sizes give equal images.
sMadeImage makeImage(uint32_t a_Size);

// Base64 text of a_rBytes in lines of 76 characters ended by CR LF.
std::string encodeBase64Lines(const std::string& a_rBytes);

}  // namespace nQvBench
