// SPDX-License-Identifier: LGPL-2.1-or-later
// What `show`, `idsel` and `update` share: opening the list and finding the
// item the user named.
#pragma once

#include <ostream>
#include <string>

#include "cFinderList.h"
#include "sItemRecord.h"

namespace nQvzelTool {

// Opens the list, reads it and resolves a_rSpec; reports every failure itself.
// On success a_rpItem and a_rIndex name the item.
bool openAndSelect(cFinderList& a_rList, sInventory& a_rInventory, const std::string& a_rSpec,
                   void*& a_rpItem, uint32_t& a_rIndex, std::ostream& a_rErr);

}  // namespace nQvzelTool
