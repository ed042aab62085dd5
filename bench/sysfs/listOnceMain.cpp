// SPDX-License-Identifier: LGPL-2.1-or-later
// qvz_bench_list_once: one list opening and closing in a fresh process;
// prints the item count and the milliseconds the opening took. Timed by
// scripts/bench-sysfs.sh in turn with `lspci -t` on the same tree, so that
// both see the same load. Exits 1 when the list opening fails.
#include <chrono>
#include <cstdio>

#include "qvzelif.h"

int main() {
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  const auto l_Start = std::chrono::steady_clock::now();
  const int32_t l_Result = nQVPXIFINDER100_openList(&l_Count, &l_pList);
  const std::chrono::duration<double, std::milli> l_Took =
      std::chrono::steady_clock::now() - l_Start;
  if (l_Result < 0) {
    std::fprintf(stderr, "openList answered %d\n", static_cast<int>(l_Result));
    return 1;
  }
  nQVPXIFINDER100_closeList(l_pList);
  std::printf("%u %.4f\n", l_Count, l_Took.count());
  return 0;
}
