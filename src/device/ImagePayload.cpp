#include "device/ImagePayload.h"

// The decoder's header declares C functions without a C++ guard.
extern "C" {
#include <b64/cdecode.h>
}

namespace nQVZEL_15_0 {

namespace {

// 1 for the 64 characters of the Base64 alphabet, 0 for every other byte.
constexpr std::array<uint8_t, 256> makeAlphabetTable() {
  std::array<uint8_t, 256> l_Table{};
  for (int l_Char = 0; l_Char < 256; ++l_Char) {
    l_Table[l_Char] = (l_Char >= 'A' && l_Char <= 'Z') || (l_Char >= 'a' && l_Char <= 'z') ||
                      (l_Char >= '0' && l_Char <= '9') || l_Char == '+' || l_Char == '/';
  }
  return l_Table;
}

constexpr std::array<uint8_t, 256> kIsBase64Character = makeAlphabetTable();

// Characters handed to the block decoder per call; the filter buffer lives on
// the stack, so decoding never allocates.
constexpr size_t kDecodeChunk = 4096;

}  // namespace

uint32_t computeImageCrc(const uint8_t* a_pData, uint32_t a_Length) {
  if (a_pData == nullptr) return 0;
  uint32_t l_Crc = 0xFFFFFFFFu;
  for (uint32_t l_Index = 0; l_Index < a_Length; ++l_Index) {
    l_Crc = (l_Crc << 8) ^ kImageCrcTable[((l_Crc >> 24) ^ a_pData[l_Index]) & 0xFFu];
  }
  return l_Crc ^ 0xFFFFFFFFu;
}

size_t decodePayload(const char* a_pText, uint8_t* a_pOut, size_t a_Count, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  if (a_pText == nullptr || a_pOut == nullptr || a_Count == 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return 0;
  }

  // Only alphabet characters reach the block decoder: it then never has to
  // judge a foreign byte itself, and its int length never overflows.
  base64_decodestate l_State;
  base64_init_decodestate(&l_State);
  char l_Chunk[kDecodeChunk];
  size_t l_Written = 0;
  size_t l_Position = 0;
  while (l_Position < a_Count) {
    size_t l_Filled = 0;
    // Branch-free filter: every byte is stored, only alphabet bytes advance.
    // Payload text is random letters, on which range tests mispredict.
    for (; l_Position < a_Count && l_Filled < kDecodeChunk; ++l_Position) {
      const unsigned char l_Char = static_cast<unsigned char>(a_pText[l_Position]);
      l_Chunk[l_Filled] = static_cast<char>(l_Char);
      l_Filled += kIsBase64Character[l_Char];
    }
    if (l_Filled == 0) continue;
    // The decoder writes at most one byte per character consumed so far, so
    // the output stays within the a_Count bytes the caller provides.
    const int l_Bytes = base64_decode_block(l_Chunk, static_cast<int>(l_Filled),
                                            reinterpret_cast<char*>(a_pOut) + l_Written, &l_State);
    l_Written += static_cast<size_t>(l_Bytes);
  }
  return l_Written;
}

size_t decodePayloadWithCrc(const char* a_pText, uint8_t* a_pOut, size_t a_Count, uint32_t* a_pCrc,
                            Status& a_rStatus) {
  const size_t l_Decoded = decodePayload(a_pText, a_pOut, a_Count, a_rStatus);
  if (a_rStatus.isNotFatal()) *a_pCrc = computeImageCrc(a_pOut, static_cast<uint32_t>(l_Decoded));
  return l_Decoded;
}

}  // namespace nQVZEL_15_0
