// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cAllocator.h"

#include <new>

namespace nQvPxiDriverTools_1_0 {

void* cAllocator::Allocate(size_t a_Size) { return ::operator new[](a_Size, std::nothrow); }

void cAllocator::Free(void* a_pStorage) { ::operator delete[](a_pStorage); }

}  // namespace nQvPxiDriverTools_1_0
