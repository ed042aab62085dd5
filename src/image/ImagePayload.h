// SPDX-License-Identifier: LGPL-2.1-or-later
// Payload half of the firmware image format: Base64 decoding of a section's
// payload and the image checksum over the decoded bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Status.h"

namespace nQVZEL_15_0 {

// Polynomial of the image checksum, processed most significant bit first.
constexpr uint32_t kImageCrcPolynomial = 0x1EDC6F41u;

// T[i] is i shifted to the top byte and run through eight polynomial steps.
constexpr std::array<uint32_t, 256> makeImageCrcTable() {
  std::array<uint32_t, 256> l_Table{};
  for (uint32_t l_Index = 0; l_Index < 256; ++l_Index) {
    uint32_t l_Value = l_Index << 24;
    for (int l_Bit = 0; l_Bit < 8; ++l_Bit) {
      l_Value = (l_Value & 0x80000000u) ? (l_Value << 1) ^ kImageCrcPolynomial : (l_Value << 1);
    }
    l_Table[l_Index] = l_Value;
  }
  return l_Table;
}

constexpr std::array<uint32_t, 256> kImageCrcTable = makeImageCrcTable();

// Checksum of the decoded firmware bytes (initial value and result
// complemented); a null a_pData gives 0.
uint32_t computeImageCrc(const uint8_t* a_pData, uint32_t a_Length);
// The same with slicing tables only: the path computeImageCrc takes on a
// processor without the vector instructions of its fast path.
uint32_t computeImageCrcPortable(const uint8_t* a_pData, uint32_t a_Length);

// Decodes exactly a_Count characters of Base64 text at a_pText into a_pOut,
// starting from a fresh decoder state, and returns the number of bytes
// written. Characters outside the Base64 alphabet ("=" and line breaks
// included) are skipped and never end the decoding; a final group of three
// characters gives two bytes, of two one byte, of one none. a_pOut must hold
// a_Count bytes: the decoded size never exceeds the character count, and the
// bytes after the decoded ones may be used as scratch. A zero count or a null
// pointer records invalid parameter and returns 0.
size_t decodePayload(const char* a_pText, uint8_t* a_pOut, size_t a_Count, Status& a_rStatus);

// decodePayload that also writes the checksum of the decoded bytes to
// *a_pCrc (untouched on failure), in the same pass over the text: each block
// of decoded bytes is checksummed while it is still in the cache.
size_t decodePayloadWithCrc(const char* a_pText, uint8_t* a_pOut, size_t a_Count, uint32_t* a_pCrc,
                            Status& a_rStatus);

// The number of bytes a_Count characters decode to and their checksum,
// without keeping the bytes (no buffer is needed); rules and failures as
// decodePayload's, a null a_pCrc included.
size_t measurePayload(const char* a_pText, size_t a_Count, uint32_t* a_pCrc, Status& a_rStatus);

}  // namespace nQVZEL_15_0
