// SPDX-License-Identifier: LGPL-2.1-or-later
// How many file descriptors this process holds, for tests that check that
// nothing leaks one.
#pragma once

#include <dirent.h>

namespace nQvzTest {

// Entries of /proc/self/fd (the directory's own descriptor and "." and ".."
// included, which cancel out between two counts), or -1 when unreadable.
inline int openFileCount() {
  int l_Count = 0;
  DIR* l_pDir = opendir("/proc/self/fd");
  if (l_pDir == nullptr) return -1;
  while (readdir(l_pDir) != nullptr) ++l_Count;
  closedir(l_pDir);
  return l_Count;
}

}  // namespace nQvzTest
