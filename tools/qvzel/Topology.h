// SPDX-License-Identifier: LGPL-2.1-or-later
// Link topology from slot paths: which controller hangs below which port of
// which upstream link device.
//
// A slot path text "MRrr:c0,c1,...,cn" lists device/function codes from the
// function itself (c0) up to the one on root bus rr (cn). An upstream device
// reports the slot path of its first port's bridge; its other ports' bridges
// sit beside that one, at the next device numbers. A controller hangs below a
// port when the port bridge's path is a strict tail of the controller's path.
// The texts are the library's own; they are compared piece by piece as texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sItemRecord.h"

namespace nQvzelTool {

// The port of a_rUpstream that a_rController hangs below, or -1. The result
// also tells how deep the port sits (a larger depth is a closer match).
int findPortBelow(const sItemRecord& a_rUpstream, const sItemRecord& a_rController,
                  size_t& a_rDepth);

// Fills m_Attachment of every controller (the closest upstream port above
// it) and m_ChassisFound of every port; linear in the number of items.
void attachControllers(std::vector<sItemRecord>& a_rItems);

}  // namespace nQvzelTool
