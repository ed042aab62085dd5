// SPDX-License-Identifier: LGPL-2.1-or-later
/* Built against an installed libqvzelif through pkg-config: calls the library
 * and the status-name header, and checks what both answer. */
#include <qvzelif.h>
#include <qvzelif_status.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  void* l_pList = NULL;
  /* A null count is refused before anything else happens. */
  int32_t l_Code = nQVPXIFINDER100_openList(NULL, &l_pList);
  if (l_Code != QVZEL_ERR_INVALID_PARAMETER || l_pList != NULL) {
    fprintf(stderr, "openList(NULL, &list) gave %d\n", (int)l_Code);
    return 1;
  }
  if (strcmp(qvzel_status_name(l_Code), "QVZEL_ERR_INVALID_PARAMETER") != 0) return 1;
  if (nQVPXIFINDER100_closeList(NULL) != 0) return 1;
  printf("pkg-config consumer: %d %s\n", (int)l_Code, qvzel_status_name(l_Code));
  return 0;
}
