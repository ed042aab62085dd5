// SPDX-License-Identifier: LGPL-2.1-or-later
// Non-throwing heap allocation for the driver-tools containers (character
// buffers, slot-path elements). Callers turn a null result into a status code.
#pragma once

#include <cstddef>

namespace nQvPxiDriverTools_1_0 {

class cAllocator {
 public:
  // Returns a_Size bytes, or null when memory is short.
  static void* Allocate(size_t a_Size);
  // Frees storage from Allocate; null is accepted.
  static void Free(void* a_pStorage);
};

}  // namespace nQvPxiDriverTools_1_0
