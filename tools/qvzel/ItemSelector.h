// SPDX-License-Identifier: LGPL-2.1-or-later
// Resolves the ITEM argument of `show`, `idsel` and `update` to a list index.
//
// ITEM is a list index ("2"), a slot path ("MR00:00,E0"; case does not
// matter), or a serial number. A plain decimal number is always an index;
// other texts are compared with the slot paths the library reports, then with
// the serial numbers. The prefixes "slot:" and "serial:" force the reading,
// for instance for a serial number made of digits only.
#pragma once

#include <string>

#include "sItemRecord.h"

namespace nQvzelTool {

struct sSelection {
  bool m_Found = false;
  uint32_t m_Index = 0;
  std::string m_Problem;  // why nothing was found
  std::string m_Note;     // set when several items match; the first one is taken
};

sSelection selectItem(const sInventory& a_rInventory, const std::string& a_rSpec);

}  // namespace nQvzelTool
