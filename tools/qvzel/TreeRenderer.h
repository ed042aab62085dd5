// SPDX-License-Identifier: LGPL-2.1-or-later
// Tree renderer of `list --tree`: each upstream link device with its ports
// and, below each port, the controllers that hang there.
#pragma once

#include <cstddef>
#include <ostream>

#include "sItemRecord.h"

namespace nQvzelTool {

// Lines are kept within a_Columns: a line too long goes on below itself.
void renderTree(const sInventory& a_rInventory, std::ostream& a_rOut, size_t a_Columns = 80);

}  // namespace nQvzelTool
