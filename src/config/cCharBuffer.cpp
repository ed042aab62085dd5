// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cCharBuffer.h"

#include <cstring>

#include "cAllocator.h"

namespace nQvPxiDriverTools_1_0 {

namespace {
constexpr size_t kMinimumCapacity = 127;
}

cCharBuffer::~cCharBuffer() { Release(); }

void cCharBuffer::Reserve(size_t a_Count, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (m_Capacity >= a_Count && m_Capacity != 0) return;

  size_t l_NewCapacity = a_Count;
  if (l_NewCapacity < kMinimumCapacity) l_NewCapacity = kMinimumCapacity;
  const size_t l_Grown = m_Capacity + m_Capacity / 2;
  if (l_Grown > l_NewCapacity) l_NewCapacity = l_Grown;
  if (l_NewCapacity + 1 == 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  char* l_pNew = static_cast<char*>(cAllocator::Allocate(l_NewCapacity + 1));
  if (l_pNew == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  if (m_Length != 0) std::memcpy(l_pNew, m_pChars, m_Length);
  l_pNew[m_Length] = '\0';
  cAllocator::Free(m_pChars);
  m_pChars = l_pNew;
  m_Capacity = l_NewCapacity;
}

void cCharBuffer::Append(const char* a_pChars, size_t a_Count, Status& a_rStatus) {
  if (a_rStatus.isFatal() || a_Count == 0) return;
  if (m_Length + a_Count < m_Length) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  // A source inside our own storage must be re-based after the storage moves.
  const bool l_Inside =
      m_pChars != nullptr && a_pChars >= m_pChars && a_pChars <= m_pChars + m_Capacity;
  const size_t l_Offset = l_Inside ? static_cast<size_t>(a_pChars - m_pChars) : 0;
  Reserve(m_Length + a_Count, a_rStatus);
  if (a_rStatus.isFatal() || m_Capacity < m_Length + a_Count) return;
  const char* l_pSource = l_Inside ? m_pChars + l_Offset : a_pChars;
  std::memmove(m_pChars + m_Length, l_pSource, a_Count);
  m_Length += a_Count;
  m_pChars[m_Length] = '\0';
}

void cCharBuffer::Append(const char* a_pText, Status& a_rStatus) {
  if (a_pText == nullptr) return;
  Append(a_pText, std::strlen(a_pText), a_rStatus);
}

void cCharBuffer::AssignSubstring(cCharBuffer& a_rDest, size_t a_Position, size_t a_Count,
                                  Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  size_t l_Count = 0;
  if (a_Position < m_Length) {
    l_Count = m_Length - a_Position;
    if (a_Count < l_Count) l_Count = a_Count;
  }
  if (l_Count == 0) {
    a_rDest.Clear();
    return;
  }
  const char* l_pSource = m_pChars + a_Position;
  if (a_rDest.m_Capacity >= l_Count) {
    std::memmove(a_rDest.m_pChars, l_pSource, l_Count);
    a_rDest.m_Length = l_Count;
    a_rDest.m_pChars[l_Count] = '\0';
    return;
  }
  // Build in fresh storage so a failure leaves the destination as it was.
  cCharBuffer l_Fresh;
  l_Fresh.Append(l_pSource, l_Count, a_rStatus);
  if (a_rStatus.isFatal()) return;
  a_rDest.Swap(l_Fresh);
}

size_t cCharBuffer::Find(const char* a_pText, size_t a_Position) const {
  if (a_pText == nullptr || a_Position >= m_Length) return kNotFound;
  const size_t l_TextLength = std::strlen(a_pText);
  if (l_TextLength > m_Length - a_Position) return kNotFound;
  // memcmp-based so that zero bytes inside the buffer do not end the search.
  for (size_t l_At = a_Position; l_At + l_TextLength <= m_Length; ++l_At) {
    if (std::memcmp(m_pChars + l_At, a_pText, l_TextLength) == 0) return l_At;
  }
  return kNotFound;
}

void cCharBuffer::Truncate(size_t a_Length) {
  if (a_Length >= m_Length) return;
  m_Length = a_Length;
  m_pChars[m_Length] = '\0';
}

void cCharBuffer::Clear() {
  m_Length = 0;
  if (m_pChars != nullptr) m_pChars[0] = '\0';
}

void cCharBuffer::Release() {
  cAllocator::Free(m_pChars);
  m_pChars = nullptr;
  m_Capacity = 0;
  m_Length = 0;
}

void cCharBuffer::Swap(cCharBuffer& a_rOther) {
  char* l_pChars = m_pChars;
  m_pChars = a_rOther.m_pChars;
  a_rOther.m_pChars = l_pChars;
  const size_t l_Capacity = m_Capacity;
  m_Capacity = a_rOther.m_Capacity;
  a_rOther.m_Capacity = l_Capacity;
  const size_t l_Length = m_Length;
  m_Length = a_rOther.m_Length;
  a_rOther.m_Length = l_Length;
}

}  // namespace nQvPxiDriverTools_1_0
