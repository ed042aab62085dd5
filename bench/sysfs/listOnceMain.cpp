// qvz_bench_list_once: one list opening and closing in a fresh process,
// printing the item count; timed by scripts/bench-sysfs.sh beside a run of
// `lspci -t` on the same tree. Exits 1 when the list opening fails.
#include <cstdio>

#include "qvzelif.h"

int main() {
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  const int32_t l_Result = nQVPXIFINDER100_openList(&l_Count, &l_pList);
  if (l_Result < 0) {
    std::fprintf(stderr, "openList answered %d\n", static_cast<int>(l_Result));
    return 1;
  }
  nQVPXIFINDER100_closeList(l_pList);
  std::printf("%u\n", l_Count);
  return 0;
}
