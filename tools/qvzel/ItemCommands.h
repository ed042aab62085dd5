// SPDX-License-Identifier: LGPL-2.1-or-later
// What `show`, `idsel` and `update` share: opening the list and finding the
// item the user named.
#pragma once

#include <ostream>
#include <string>

#include "cFinderList.h"
#include "sItemRecord.h"

namespace nQvzelTool {

// The open list, what was read from it and the item the user named; the list
// stays open as long as the record lives.
struct sSelectedItem {
  cFinderList m_List;
  sInventory m_Inventory;
  void* m_pItem = nullptr;
  uint32_t m_Index = 0;

  sItemRecord& record() { return m_Inventory.m_Items.at(m_Index); }
};

// Opens the list, reads it and resolves a_rSpec; reports every failure itself.
// On success a_rSelected names the item.
bool openAndSelect(const std::string& a_rSpec, sSelectedItem& a_rSelected, std::ostream& a_rErr);

}  // namespace nQvzelTool
