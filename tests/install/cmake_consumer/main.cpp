// SPDX-License-Identifier: LGPL-2.1-or-later
// Calls the installed library through the imported target qvzelif::qvzelif.
#include <qvzelif.h>
#include <qvzelif_status.h>

#include <cstdio>
#include <cstring>

int main() {
  uint32_t l_Count = 0;
  const int32_t l_Code = nQVPXIFINDER100_openList(&l_Count, nullptr);
  if (l_Code != QVZEL_ERR_INVALID_PARAMETER) {
    std::fprintf(stderr, "openList(&count, NULL) gave %d\n", static_cast<int>(l_Code));
    return 1;
  }
  const int32_t l_Item = nQVPXIFINDER100_getNthItem(nullptr, 0, nullptr);
  if (l_Item != QVZEL_ERR_INVALID_PARAMETER) return 1;
  if (std::strcmp(qvzel_status_text(l_Code), qvzel_status_find(l_Code)->text) != 0) return 1;
  std::printf("find_package consumer: %d %s\n", static_cast<int>(l_Code),
              qvzel_status_name(l_Code));
  return 0;
}
