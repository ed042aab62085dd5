// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ItemCommands.h"

#include "ErrorReport.h"
#include "Format.h"
#include "ItemReader.h"
#include "ItemSelector.h"

namespace nQvzelTool {

bool openAndSelect(const std::string& a_rSpec, sSelectedItem& a_rSelected, std::ostream& a_rErr) {
  const int32_t l_Code = a_rSelected.m_List.open();
  if (l_Code < 0) {
    reportListFailure(a_rErr, l_Code);
    return false;
  }
  a_rSelected.m_Inventory = readInventory(a_rSelected.m_List);
  a_rSelected.m_Inventory.m_OpenCode = l_Code;
  const sSelection l_Selection = selectItem(a_rSelected.m_Inventory, a_rSpec);
  if (!l_Selection.m_Found) {
    reportFailure(a_rErr, l_Selection.m_Problem + ".");
    return false;
  }
  if (!l_Selection.m_Note.empty()) {
    a_rErr << messageLines("note: " + l_Selection.m_Note + ".");
  }
  a_rSelected.m_Index = l_Selection.m_Index;
  const int32_t l_ItemCode = a_rSelected.m_List.item(a_rSelected.m_Index, a_rSelected.m_pItem);
  if (l_ItemCode < 0) {
    reportFailure(a_rErr,
                  "cannot get item " + std::to_string(a_rSelected.m_Index) + " of the list.",
                  l_ItemCode);
    return false;
  }
  return true;
}

}  // namespace nQvzelTool
