// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ItemCommands.h"

#include "ErrorReport.h"
#include "Format.h"
#include "ItemReader.h"
#include "ItemSelector.h"

namespace nQvzelTool {

bool openAndSelect(cFinderList& a_rList, sInventory& a_rInventory, const std::string& a_rSpec,
                   void*& a_rpItem, uint32_t& a_rIndex, std::ostream& a_rErr) {
  const int32_t l_Code = a_rList.open();
  if (l_Code < 0) {
    reportListFailure(a_rErr, l_Code);
    return false;
  }
  a_rInventory = readInventory(a_rList);
  a_rInventory.m_OpenCode = l_Code;
  const sSelection l_Selection = selectItem(a_rInventory, a_rSpec);
  if (!l_Selection.m_Found) {
    reportFailure(a_rErr, l_Selection.m_Problem + ".");
    return false;
  }
  if (!l_Selection.m_Note.empty()) {
    a_rErr << messageLines("note: " + l_Selection.m_Note + ".");
  }
  a_rIndex = l_Selection.m_Index;
  const int32_t l_ItemCode = a_rList.item(a_rIndex, a_rpItem);
  if (l_ItemCode < 0) {
    reportFailure(a_rErr, "cannot get item " + std::to_string(a_rIndex) + " of the list.",
                  l_ItemCode);
    return false;
  }
  return true;
}

}  // namespace nQvzelTool
