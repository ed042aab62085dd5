// SPDX-License-Identifier: LGPL-2.1-or-later
// A growable byte string whose allocation failures go into a JsonStatus.
#include "status/StatusString.h"

#include "status/Allocation.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Smallest capacity a string is given once it allocates.
constexpr uint64_t kMinimumCapacity = 127;

uint64_t grownCapacity(uint64_t a_Old, uint64_t a_Needed) {
  return std::max({a_Needed, kMinimumCapacity, a_Old + a_Old / 2});
}

}  // namespace

StatusString::StatusString() : m_pData(nullptr), m_Capacity(0), m_Length(0) {}

StatusString::StatusString(const char* a_pText, JsonStatus& a_rStatus) : StatusString() {
  copyIn(a_pText, a_pText != nullptr ? std::strlen(a_pText) : 0, a_rStatus);
}

StatusString::StatusString(const StatusString& a_rOther, JsonStatus& a_rStatus) : StatusString() {
  copyIn(a_rOther.m_pData, a_rOther.m_Length, a_rStatus);
}

void StatusString::copyIn(const char* a_pData, size_t a_Count, JsonStatus& a_rStatus) {
  reserve(a_Count, a_rStatus);
  if (m_pData == nullptr) return;
  if (a_Count > 0) std::memcpy(m_pData, a_pData, a_Count);
  m_pData[a_Count] = '\0';
  m_Length = a_Count;
}

StatusString::~StatusString() { release(); }

void StatusString::assign(const char* a_pText, JsonStatus& a_rStatus) {
  assign(a_pText, a_pText != nullptr ? std::strlen(a_pText) : 0, a_rStatus);
}

void StatusString::assign(const char* a_pData, size_t a_Count, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_Count == 0 || a_pData == nullptr) {
    if (m_pData != nullptr) m_pData[0] = '\0';
    m_Length = 0;
    return;
  }
  if (m_pData != nullptr && a_Count <= m_Capacity) {
    // memmove: the source may lie inside this string.
    std::memmove(m_pData, a_pData, a_Count);
    m_pData[a_Count] = '\0';
    m_Length = a_Count;
    return;
  }
  // Built aside and swapped in, so a failure leaves the old content untouched.
  StatusString l_Fresh;
  l_Fresh.reserve(grownCapacity(m_Capacity, a_Count), a_rStatus);
  if (l_Fresh.m_pData == nullptr) return;
  std::memcpy(l_Fresh.m_pData, a_pData, a_Count);
  l_Fresh.m_pData[a_Count] = '\0';
  l_Fresh.m_Length = a_Count;
  swap(l_Fresh);
}

void StatusString::reserve(size_t a_Needed, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (m_Capacity >= a_Needed && m_Capacity != 0) return;
  const uint64_t l_Capacity = grownCapacity(m_Capacity, a_Needed);
  if (l_Capacity + 1 == 0) {
    recordMemoryFull(a_rStatus);
    return;
  }
  char* l_pData = new (std::nothrow) char[l_Capacity + 1];
  if (l_pData == nullptr) {
    recordMemoryFull(a_rStatus);
    return;
  }
  if (m_pData != nullptr) std::memcpy(l_pData, m_pData, m_Length);
  l_pData[m_Length] = '\0';
  delete[] m_pData;
  m_pData = l_pData;
  m_Capacity = l_Capacity;
}

void StatusString::release() {
  delete[] m_pData;
  m_pData = nullptr;
  m_Capacity = 0;
  m_Length = 0;
}

void StatusString::swap(StatusString& a_rOther) {
  std::swap(m_pData, a_rOther.m_pData);
  std::swap(m_Capacity, a_rOther.m_Capacity);
  std::swap(m_Length, a_rOther.m_Length);
}
