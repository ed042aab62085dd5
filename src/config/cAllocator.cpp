#include "config/cAllocator.h"

#include <new>

namespace nQvPxiDriverTools_1_0 {

namespace {
// Only tests set this; production code never fails allocations on purpose.
long s_AllocationsBeforeFailure = -1;
}  // namespace

void* cAllocator::Allocate(size_t a_Size) {
  if (s_AllocationsBeforeFailure == 0) return nullptr;
  if (s_AllocationsBeforeFailure > 0) --s_AllocationsBeforeFailure;
  return ::operator new[](a_Size, std::nothrow);
}

void cAllocator::Free(void* a_pStorage) { ::operator delete[](a_pStorage); }

void cAllocator::FailAfter(long a_Count) {
  s_AllocationsBeforeFailure = a_Count < 0 ? -1 : a_Count;
}

}  // namespace nQvPxiDriverTools_1_0
