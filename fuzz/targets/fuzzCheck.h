// SPDX-License-Identifier: LGPL-2.1-or-later
// Shared helpers of the fuzz targets: a check that aborts (so libFuzzer and
// the replay runner both report the input), and exact-size copies of the
// input so AddressSanitizer sees any read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#define FUZZ_CHECK(a_Condition)                                                                 \
  do {                                                                                          \
    if (!(a_Condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #a_Condition); \
      std::abort();                                                                             \
    }                                                                                           \
  } while (0)

namespace qvzfuzz {

// The input bytes in a heap block of exactly their size (not terminated).
inline std::unique_ptr<char[]> exactCopy(const uint8_t* a_pData, size_t a_Size) {
  std::unique_ptr<char[]> l_Copy(new char[a_Size == 0 ? 1 : a_Size]);
  if (a_Size > 0) std::memcpy(l_Copy.get(), a_pData, a_Size);
  return l_Copy;
}

// The input as a NUL-terminated text (it ends at the first NUL byte, as a C
// caller would see it), in a heap block of exactly its length plus one.
inline std::unique_ptr<char[]> terminatedCopy(const uint8_t* a_pData, size_t a_Size) {
  const size_t l_Length = strnlen(reinterpret_cast<const char*>(a_pData), a_Size);
  std::unique_ptr<char[]> l_Copy(new char[l_Length + 1]);
  std::memcpy(l_Copy.get(), a_pData, l_Length);
  l_Copy[l_Length] = '\0';
  return l_Copy;
}

// Splits the input at the first occurrence of a_pSeparator: the part before
// goes to a_rFirst, the rest to a_rSecond (empty when there is none).
inline void splitOnce(const uint8_t* a_pData, size_t a_Size, const char* a_pSeparator,
                      std::string& a_rFirst, std::string& a_rSecond) {
  const std::string l_All(reinterpret_cast<const char*>(a_pData), a_Size);
  const size_t l_At = l_All.find(a_pSeparator);
  if (l_At == std::string::npos) {
    a_rFirst = l_All;
    a_rSecond.clear();
  } else {
    a_rFirst = l_All.substr(0, l_At);
    a_rSecond = l_All.substr(l_At + std::strlen(a_pSeparator));
  }
}

}  // namespace qvzfuzz
