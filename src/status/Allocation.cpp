// SPDX-License-Identifier: LGPL-2.1-or-later
// Allocation that reports failure through a status instead of throwing.
#include "status/Allocation.h"

#include <new>

void* allocateArray(size_t a_Size, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return nullptr;
  char* l_pMemory = new (std::nothrow) char[a_Size];
  if (l_pMemory == nullptr) QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  return l_pMemory;
}

void* allocateObject(size_t a_Size, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return nullptr;
  void* l_pMemory = ::operator new(a_Size, std::nothrow);
  if (l_pMemory == nullptr) QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  return l_pMemory;
}

void recordMemoryFull(JsonStatus& a_rStatus) {
  if (a_rStatus.setCodeAt(qvstatus::kMemoryFull, QVZ_ERROR_SITE("qvkoraerr_memoryFull"))) {
    a_rStatus.reserve(2);
  }
}
