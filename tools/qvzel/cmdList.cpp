// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel list [--tree] [--json]
#include "Commands.h"
#include "ErrorReport.h"
#include "ItemReader.h"
#include "JsonRenderer.h"
#include "TableRenderer.h"
#include "TreeRenderer.h"
#include "cStandardOutput.h"

namespace nQvzelTool {

int runList(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  cFinderList l_List;
  const int32_t l_Code = l_List.open();
  sInventory l_Inventory;
  if (l_Code >= 0) l_Inventory = readInventory(l_List);
  l_Inventory.m_OpenCode = l_Code;

  if (a_rOptions.m_Json) {
    a_rOut << listJson(l_Inventory);
  } else if (l_Code >= 0) {
    if (a_rOptions.m_Tree) {
      renderTree(l_Inventory, a_rOut, cStandardOutput::columns());
    } else {
      renderTable(l_Inventory, a_rOut, cStandardOutput::columns());
    }
  }
  if (l_Code < 0) {
    reportListFailure(a_rErr, l_Code);
    return kExitFailure;
  }
  if (l_Code > 0) reportFailure(a_rErr, "warning: the library reported a warning.", l_Code);
  return kExitSuccess;
}

}  // namespace nQvzelTool
