// SPDX-License-Identifier: LGPL-2.1-or-later
// Differential fuzz target: the payload decoder against libb64's block
// decoder and against a small decoder written here from the image rules
// alone (standard Base64 alphabet; every other byte skipped without ending
// the decoding; groups of four give three bytes, a final group of three two,
// of two one, of one none); the checksum of the same pass against the
// portable one.
#include <vector>

// The decoder's header declares C functions without a C++ guard.
extern "C" {
#include <b64/cdecode.h>
}

#include "ImagePayload.h"
#include "fuzzCheck.h"

using namespace nQVZEL_15_0;

namespace {

int alphabetValue(unsigned char a_Char) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int l_Index = 0; l_Index < 64; ++l_Index) {
    if (static_cast<unsigned char>(kAlphabet[l_Index]) == a_Char) return l_Index;
  }
  return -1;
}

std::vector<uint8_t> referenceDecode(const char* a_pText, size_t a_Count) {
  std::vector<int> l_Values;
  for (size_t l_Index = 0; l_Index < a_Count; ++l_Index) {
    const int l_Value = alphabetValue(static_cast<unsigned char>(a_pText[l_Index]));
    if (l_Value >= 0) l_Values.push_back(l_Value);
  }
  std::vector<uint8_t> l_Bytes;
  // 24 bits per group of four; a partial group keeps its whole bytes only.
  for (size_t l_Group = 0; l_Group < l_Values.size(); l_Group += 4) {
    const size_t l_Have = std::min<size_t>(4, l_Values.size() - l_Group);
    uint32_t l_Bits = 0;
    for (size_t l_Index = 0; l_Index < 4; ++l_Index) {
      l_Bits = (l_Bits << 6) |
               (l_Index < l_Have ? static_cast<uint32_t>(l_Values[l_Group + l_Index]) : 0);
    }
    const size_t l_Whole = l_Have == 4 ? 3 : l_Have - 1;
    for (size_t l_Byte = 0; l_Byte < l_Whole; ++l_Byte) {
      l_Bytes.push_back(static_cast<uint8_t>(l_Bits >> (16 - 8 * l_Byte)));
    }
  }
  return l_Bytes;
}

void compareOn(const char* a_pText, size_t a_Count) {
  Status l_Status;
  // Exactly the character count, as the update allocates.
  std::unique_ptr<uint8_t[]> l_Out(new uint8_t[a_Count == 0 ? 1 : a_Count]);
  uint32_t l_Crc = 0;
  const size_t l_Written = decodePayloadWithCrc(a_pText, l_Out.get(), a_Count, &l_Crc, l_Status);
  if (a_Count == 0) {
    FUZZ_CHECK(l_Status.code == qvstatus::kInvalidParameter && l_Written == 0);
    return;
  }
  FUZZ_CHECK(l_Status.code == qvstatus::kSuccess);
  const std::vector<uint8_t> l_Expected = referenceDecode(a_pText, a_Count);
  FUZZ_CHECK(l_Written == l_Expected.size());
  FUZZ_CHECK(l_Written == 0 || std::memcmp(l_Out.get(), l_Expected.data(), l_Written) == 0);
  FUZZ_CHECK(l_Crc == computeImageCrcPortable(l_Out.get(), static_cast<uint32_t>(l_Written)));

  base64_decodestate l_State;
  base64_init_decodestate(&l_State);
  // libb64 writes the bits of an unfinished byte one place past the last whole one.
  std::vector<char> l_Reference(a_Count + 1);
  const int l_Bytes =
      base64_decode_block(a_pText, static_cast<int>(a_Count), l_Reference.data(), &l_State);
  FUZZ_CHECK(static_cast<size_t>(l_Bytes) == l_Written);
  FUZZ_CHECK(l_Written == 0 || std::memcmp(l_Out.get(), l_Reference.data(), l_Written) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > (1u << 20)) return 0;
  const std::unique_ptr<char[]> l_Text = qvzfuzz::exactCopy(a_pData, a_Size);
  compareOn(l_Text.get(), a_Size);
  // A count shorter than the text: decoding must stop exactly there.
  if (a_Size > 1) compareOn(l_Text.get(), a_pData[0] % a_Size);
  return 0;
}
