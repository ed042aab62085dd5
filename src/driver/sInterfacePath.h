// SPDX-License-Identifier: LGPL-2.1-or-later
// sInterfacePath: the device file path read from an interface's
// `interfacePath` file.
#pragma once

#include <cstdint>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

struct sInterfacePath {
  static constexpr uint64_t kCapacity = 256;
  // Longest path the driver may publish; one byte stays for the NUL.
  static constexpr uint64_t kMaxPathLength = kCapacity - 1;

  char m_Path[kCapacity];
  // Bytes read plus 1 (the terminating NUL counted).
  uint64_t m_Length;
};

static_assert(sizeof(sInterfacePath) == 264, "sInterfacePath layout");

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
