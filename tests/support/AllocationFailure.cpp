// SPDX-License-Identifier: LGPL-2.1-or-later
#include "AllocationFailure.h"

#include <atomic>
#include <cstddef>
#include <new>

namespace {
// -1: nothing armed.
std::atomic<long> g_AllocationsBeforeFailure{-1};

bool failNow() {
  long l_Left = g_AllocationsBeforeFailure.load();
  while (l_Left > 0 && !g_AllocationsBeforeFailure.compare_exchange_weak(l_Left, l_Left - 1)) {
  }
  return l_Left == 0;
}
}  // namespace

namespace qvztest {

void failAllocationsAfter(long a_Count) { g_AllocationsBeforeFailure = a_Count < 0 ? -1 : a_Count; }

}  // namespace qvztest

// Allocates through the throwing form, so that the memory is released by the
// ordinary operator delete[] (a sanitizer's pairing check stays satisfied).
void* operator new[](std::size_t a_Size, const std::nothrow_t&) noexcept {
  if (failNow()) return nullptr;
  try {
    return ::operator new[](a_Size);
  } catch (...) {
    return nullptr;
  }
}
