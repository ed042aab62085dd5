// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImagePayload.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define QVZ_IMAGE_VECTOR_PATHS 1
#endif

namespace nQVZEL_15_0 {

namespace {

// Value of each Base64 alphabet character; kSkip for every other byte.
constexpr uint8_t kSkip = 0x80;

constexpr std::array<uint8_t, 256> makeDecodeTable() {
  std::array<uint8_t, 256> l_Table{};
  for (int l_Char = 0; l_Char < 256; ++l_Char) {
    uint8_t l_Value = kSkip;
    if (l_Char >= 'A' && l_Char <= 'Z') l_Value = static_cast<uint8_t>(l_Char - 'A');
    if (l_Char >= 'a' && l_Char <= 'z') l_Value = static_cast<uint8_t>(l_Char - 'a' + 26);
    if (l_Char >= '0' && l_Char <= '9') l_Value = static_cast<uint8_t>(l_Char - '0' + 52);
    if (l_Char == '+') l_Value = 62;
    if (l_Char == '/') l_Value = 63;
    l_Table[l_Char] = l_Value;
  }
  return l_Table;
}

constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

// Slicing tables of the checksum: kCrcSlices[k][i] is the checksum step of
// byte i followed by k zero bytes, so that eight bytes take eight look-ups
// that do not wait on each other.
constexpr std::array<std::array<uint32_t, 256>, 8> makeCrcSlices() {
  std::array<std::array<uint32_t, 256>, 8> l_Slices{};
  l_Slices[0] = makeImageCrcTable();
  for (size_t l_Slice = 1; l_Slice < 8; ++l_Slice) {
    for (size_t l_Index = 0; l_Index < 256; ++l_Index) {
      const uint32_t l_Previous = l_Slices[l_Slice - 1][l_Index];
      l_Slices[l_Slice][l_Index] = (l_Previous << 8) ^ l_Slices[0][l_Previous >> 24];
    }
  }
  return l_Slices;
}

constexpr std::array<std::array<uint32_t, 256>, 8> kCrcSlices = makeCrcSlices();

uint32_t loadBigEndian32(const uint8_t* a_pBytes) {
  return (uint32_t{a_pBytes[0]} << 24) | (uint32_t{a_pBytes[1]} << 16) |
         (uint32_t{a_pBytes[2]} << 8) | uint32_t{a_pBytes[3]};
}

// Continues a checksum (before its final complement) over a_Length bytes
// with the slicing tables: the path for any processor.
uint32_t crcUpdatePortable(uint32_t a_Crc, const uint8_t* a_pData, size_t a_Length) {
  const auto& l_rT = kCrcSlices;
  for (; a_Length >= 8; a_Length -= 8, a_pData += 8) {
    const uint32_t l_High = a_Crc ^ loadBigEndian32(a_pData);
    const uint32_t l_Low = loadBigEndian32(a_pData + 4);
    a_Crc = l_rT[7][l_High >> 24] ^ l_rT[6][(l_High >> 16) & 0xFF] ^ l_rT[5][(l_High >> 8) & 0xFF] ^
            l_rT[4][l_High & 0xFF] ^ l_rT[3][l_Low >> 24] ^ l_rT[2][(l_Low >> 16) & 0xFF] ^
            l_rT[1][(l_Low >> 8) & 0xFF] ^ l_rT[0][l_Low & 0xFF];
  }
  for (; a_Length > 0; --a_Length, ++a_pData) {
    a_Crc = (a_Crc << 8) ^ l_rT[0][((a_Crc >> 24) ^ *a_pData) & 0xFFu];
  }
  return a_Crc;
}

constexpr std::array<uint8_t, 256> makeBitReversal() {
  std::array<uint8_t, 256> l_Table{};
  for (uint32_t l_Byte = 0; l_Byte < 256; ++l_Byte) {
    uint32_t l_Reversed = 0;
    for (int l_Bit = 0; l_Bit < 8; ++l_Bit) l_Reversed |= ((l_Byte >> l_Bit) & 1u) << (7 - l_Bit);
    l_Table[l_Byte] = static_cast<uint8_t>(l_Reversed);
  }
  return l_Table;
}

constexpr std::array<uint8_t, 256> kBitReversal = makeBitReversal();

uint32_t reverseBits32(uint32_t a_Value) {
  return (uint32_t{kBitReversal[a_Value & 0xFF]} << 24) |
         (uint32_t{kBitReversal[(a_Value >> 8) & 0xFF]} << 16) |
         (uint32_t{kBitReversal[(a_Value >> 16) & 0xFF]} << 8) | kBitReversal[a_Value >> 24];
}

#ifdef QVZ_IMAGE_VECTOR_PATHS

// The processor has the instructions of the vector paths below.
bool haveVectorPaths() {
  // The processor is asked itself: a caller may come before the runtime's
  // own start-up code has done it.
  static const bool s_Have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("sse4.2");
  }();
  return s_Have;
}

// The checksum with the processor's CRC instruction. That instruction
// computes the reflected checksum of the same polynomial, which is the
// mirror image of this one: fed with every byte's bits reversed, it keeps
// the register bit-reversed. Bytes are reversed 32 at a time with two
// nibble look-ups.
__attribute__((target("avx2,sse4.2"))) uint32_t crcUpdateVector(uint32_t a_Crc,
                                                                const uint8_t* a_pData,
                                                                size_t a_Length) {
  const __m256i l_Nibble = _mm256_set1_epi8(0x0F);
  // Reversed low nibble into the high half, reversed high nibble into the low half.
  const __m256i l_ReverseLow =
      _mm256_setr_epi8(0x00, 0x80, 0x40, 0xC0, 0x20, 0xA0, 0x60, 0xE0, 0x10, 0x90, 0x50, 0xD0, 0x30,
                       0xB0, 0x70, 0xF0, 0x00, 0x80, 0x40, 0xC0, 0x20, 0xA0, 0x60, 0xE0, 0x10, 0x90,
                       0x50, 0xD0, 0x30, 0xB0, 0x70, 0xF0);
  const __m256i l_ReverseHigh = _mm256_setr_epi8(
      0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF, 0x0, 0x8, 0x4,
      0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
  uint64_t l_Register = reverseBits32(a_Crc);
  for (; a_Length >= 32; a_Length -= 32, a_pData += 32) {
    const __m256i l_In = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a_pData));
    const __m256i l_Low = _mm256_and_si256(l_In, l_Nibble);
    const __m256i l_High = _mm256_and_si256(_mm256_srli_epi16(l_In, 4), l_Nibble);
    const __m256i l_Reversed = _mm256_or_si256(_mm256_shuffle_epi8(l_ReverseLow, l_Low),
                                               _mm256_shuffle_epi8(l_ReverseHigh, l_High));
    alignas(32) uint64_t l_Words[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(l_Words), l_Reversed);
    l_Register = _mm_crc32_u64(l_Register, l_Words[0]);
    l_Register = _mm_crc32_u64(l_Register, l_Words[1]);
    l_Register = _mm_crc32_u64(l_Register, l_Words[2]);
    l_Register = _mm_crc32_u64(l_Register, l_Words[3]);
  }
  uint32_t l_Tail = static_cast<uint32_t>(l_Register);
  for (; a_Length > 0; --a_Length, ++a_pData) {
    l_Tail = _mm_crc32_u8(l_Tail, kBitReversal[*a_pData]);
  }
  return reverseBits32(l_Tail);
}

// Decodes runs of 32 alphabet characters into 24 bytes each (the nibble
// look-up method for validation and translation), from a group boundary,
// up to the first run that holds another byte. Stores 32 bytes per run; at a
// group boundary the bytes written are at most three quarters of the
// characters read, so the stores stay within a buffer of one byte per
// character. Returns the bytes written; advances a_rPosition.
__attribute__((target("avx2"))) size_t decodeRunsVector(const uint8_t* a_pText, size_t a_Count,
                                                        size_t& a_rPosition, uint8_t* a_pOut) {
  // A byte is outside the alphabet when its low- and high-nibble classes share a bit.
  const __m256i l_LowClass =
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B,
                       0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                       0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i l_HighClass =
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  // What each range adds to its characters to give their values; '/' is
  // told apart from '+' by its own comparison.
  const __m256i l_Shift =
      _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4, -65,
                       -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i l_Slash = _mm256_set1_epi8('/');
  const __m256i l_Nibble = _mm256_set1_epi8(0x0F);
  const __m256i l_PairWeights = _mm256_set1_epi32(0x01400140);
  const __m256i l_QuadWeights = _mm256_set1_epi32(0x00011000);
  const __m256i l_Order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i l_Lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  uint8_t* l_pOut = a_pOut;
  size_t l_Position = a_rPosition;
  while (l_Position + 32 <= a_Count) {
    const __m256i l_In = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a_pText + l_Position));
    const __m256i l_High = _mm256_and_si256(_mm256_srli_epi32(l_In, 4), l_Nibble);
    const __m256i l_Low = _mm256_and_si256(l_In, l_Nibble);
    const __m256i l_Classes = _mm256_and_si256(_mm256_shuffle_epi8(l_LowClass, l_Low),
                                               _mm256_shuffle_epi8(l_HighClass, l_High));
    // Bit i set: character i is outside the alphabet.
    const uint32_t l_Outside = ~static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(l_Classes, _mm256_setzero_si256())));
    // The whole groups before the first such character are decoded; their
    // bytes are right whatever the lanes after them hold.
    const uint32_t l_Characters =
        l_Outside == 0 ? 32 : static_cast<uint32_t>(__builtin_ctz(l_Outside)) & ~3u;
    if (l_Characters == 0) break;
    const __m256i l_Range = _mm256_add_epi8(_mm256_cmpeq_epi8(l_In, l_Slash), l_High);
    const __m256i l_Values = _mm256_add_epi8(l_In, _mm256_shuffle_epi8(l_Shift, l_Range));
    // Four 6-bit values to one 24-bit number per 32-bit lane, then its
    // three bytes in order, twelve per 128-bit half, 24 together.
    const __m256i l_Pairs = _mm256_maddubs_epi16(l_Values, l_PairWeights);
    const __m256i l_Quads = _mm256_madd_epi16(l_Pairs, l_QuadWeights);
    const __m256i l_Bytes =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(l_Quads, l_Order), l_Lanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(l_pOut), l_Bytes);
    l_pOut += l_Characters / 4 * 3;
    l_Position += l_Characters;
    if (l_Characters == 32) continue;
    // A line break between groups is passed over here; anything else (a
    // group cut by a foreign byte) is left to the caller.
    if ((l_Outside >> (l_Characters & 31) & 1u) == 0) break;
    while (l_Position < a_Count && (kDecode[a_pText[l_Position]] & kSkip) != 0) ++l_Position;
  }
  a_rPosition = l_Position;
  return static_cast<size_t>(l_pOut - a_pOut);
}

#endif

uint32_t crcUpdate(uint32_t a_Crc, const uint8_t* a_pData, size_t a_Length) {
#ifdef QVZ_IMAGE_VECTOR_PATHS
  if (haveVectorPaths()) return crcUpdateVector(a_Crc, a_pData, a_Length);
#endif
  return crcUpdatePortable(a_Crc, a_pData, a_Length);
}

// The decoder between calls: bits of the group begun and not yet written.
// Every fourth alphabet character completes a group, and then no bit is
// left over (m_BitCount 0).
struct sDecoderState {
  uint32_t m_Bits = 0;
  uint32_t m_BitCount = 0;
};

// Decodes a_Count characters; returns the bytes written. Writes up to two
// bytes past them as scratch, never beyond a_Count bytes in all from a_pOut
// (the caller's buffer holds as many bytes as characters are decoded).
size_t decodeBlock(sDecoderState& a_rState, const uint8_t* a_pText, size_t a_Count,
                   uint8_t* a_pOut) {
  uint8_t* l_pOut = a_pOut;
  size_t l_Position = 0;
  while (l_Position < a_Count) {
    // Whole groups of alphabet characters, eight at a time: six bytes.
    // At a group boundary the bytes written so far are at most three
    // quarters of the characters read, so the eight bytes stored stay
    // within the buffer.
    if (a_rState.m_BitCount == 0) {
#ifdef QVZ_IMAGE_VECTOR_PATHS
      if (haveVectorPaths()) {
        l_pOut += decodeRunsVector(a_pText, a_Count, l_Position, l_pOut);
      }
#endif
      while (l_Position + 8 <= a_Count) {
        const uint8_t* l_pIn = a_pText + l_Position;
        const uint64_t l_V0 = kDecode[l_pIn[0]], l_V1 = kDecode[l_pIn[1]];
        const uint64_t l_V2 = kDecode[l_pIn[2]], l_V3 = kDecode[l_pIn[3]];
        const uint64_t l_V4 = kDecode[l_pIn[4]], l_V5 = kDecode[l_pIn[5]];
        const uint64_t l_V6 = kDecode[l_pIn[6]], l_V7 = kDecode[l_pIn[7]];
        if (((l_V0 | l_V1 | l_V2 | l_V3 | l_V4 | l_V5 | l_V6 | l_V7) & kSkip) != 0) break;
        const uint64_t l_Bits = (l_V0 << 58) | (l_V1 << 52) | (l_V2 << 46) | (l_V3 << 40) |
                                (l_V4 << 34) | (l_V5 << 28) | (l_V6 << 22) | (l_V7 << 16);
        const uint64_t l_Stored = __builtin_bswap64(l_Bits);
        std::memcpy(l_pOut, &l_Stored, sizeof(l_Stored));
        l_pOut += 6;
        l_Position += 8;
      }
    }
    // One character at a time up to the next group boundary (or the end):
    // a skipped byte, a line break or a group cut by the block's end.
    do {
      if (l_Position >= a_Count) break;
      const uint8_t l_Value = kDecode[a_pText[l_Position++]];
      if (l_Value & kSkip) continue;
      a_rState.m_Bits = (a_rState.m_Bits << 6) | l_Value;
      a_rState.m_BitCount += 6;
      if (a_rState.m_BitCount >= 8) {
        a_rState.m_BitCount -= 8;
        *l_pOut++ = static_cast<uint8_t>(a_rState.m_Bits >> a_rState.m_BitCount);
      }
    } while (a_rState.m_BitCount != 0);
    // Between groups, a line break and the like are passed over at once.
    while (l_Position < a_Count && (kDecode[a_pText[l_Position]] & kSkip) != 0) ++l_Position;
  }
  return static_cast<size_t>(l_pOut - a_pOut);
}

// Characters decoded before their bytes are checksummed: the block's output
// is still in the first-level cache when the checksum reads it.
constexpr size_t kBlockCharacters = 16384;

// Decodes a_Count characters block by block and checksums each block's bytes
// (a_pCrc may be null). Without a_pOut the bytes of each block go to one
// scratch block and only their number and checksum remain. A block's bytes
// are at most three quarters of its characters plus the two of a group begun
// in the block before, and the stores ahead of them stay within its
// characters plus one: the scratch block holds that and more.
size_t decodeBlocks(const uint8_t* a_pText, size_t a_Count, uint8_t* a_pOut, uint32_t* a_pCrc) {
  uint8_t l_Scratch[kBlockCharacters + 64];
  sDecoderState l_State;
  uint32_t l_Crc = 0xFFFFFFFFu;
  size_t l_Written = 0;
  for (size_t l_Position = 0; l_Position < a_Count; l_Position += kBlockCharacters) {
    const size_t l_Length =
        a_Count - l_Position < kBlockCharacters ? a_Count - l_Position : kBlockCharacters;
    uint8_t* l_pBlockOut = a_pOut != nullptr ? a_pOut + l_Written : l_Scratch;
    const size_t l_Bytes = decodeBlock(l_State, a_pText + l_Position, l_Length, l_pBlockOut);
    if (a_pCrc != nullptr) l_Crc = crcUpdate(l_Crc, l_pBlockOut, l_Bytes);
    l_Written += l_Bytes;
  }
  if (a_pCrc != nullptr) *a_pCrc = l_Crc ^ 0xFFFFFFFFu;
  return l_Written;
}

}  // namespace

uint32_t computeImageCrc(const uint8_t* a_pData, uint32_t a_Length) {
  if (a_pData == nullptr) return 0;
  return crcUpdate(0xFFFFFFFFu, a_pData, a_Length) ^ 0xFFFFFFFFu;
}

uint32_t computeImageCrcPortable(const uint8_t* a_pData, uint32_t a_Length) {
  if (a_pData == nullptr) return 0;
  return crcUpdatePortable(0xFFFFFFFFu, a_pData, a_Length) ^ 0xFFFFFFFFu;
}

size_t decodePayloadWithCrc(const char* a_pText, uint8_t* a_pOut, size_t a_Count, uint32_t* a_pCrc,
                            Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  if (a_pText == nullptr || a_pOut == nullptr || a_Count == 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return 0;
  }
  return decodeBlocks(reinterpret_cast<const uint8_t*>(a_pText), a_Count, a_pOut, a_pCrc);
}

size_t measurePayload(const char* a_pText, size_t a_Count, uint32_t* a_pCrc, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  if (a_pText == nullptr || a_pCrc == nullptr || a_Count == 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return 0;
  }
  return decodeBlocks(reinterpret_cast<const uint8_t*>(a_pText), a_Count, nullptr, a_pCrc);
}

size_t decodePayload(const char* a_pText, uint8_t* a_pOut, size_t a_Count, Status& a_rStatus) {
  return decodePayloadWithCrc(a_pText, a_pOut, a_Count, nullptr, a_rStatus);
}

}  // namespace nQVZEL_15_0
