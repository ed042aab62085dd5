// SPDX-License-Identifier: LGPL-2.1-or-later
// Tree renderer of `list --tree`: each upstream link device with its ports
// and, below each port, the controllers that hang there.
#pragma once

#include <ostream>

#include "sItemRecord.h"

namespace nQvzelTool {

void renderTree(const sInventory& a_rInventory, std::ostream& a_rOut);

}  // namespace nQvzelTool
