// SPDX-License-Identifier: LGPL-2.1-or-later
// Link topology from slot-path texts: which controller hangs below which port
// of which upstream link device.
//
// The library gives every item's slot path as a text; an upstream device's
// is that of its first port's bridge. A controller hangs below the port whose
// bridge's slot path is one of the controller's ancestors: the same path with
// one or more of its front codes cut off. Paths are read, cut and written by
// the library's own cSlotPath (linked as the image module is), never by a
// grammar of the tool's; the texts it writes are then compared whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sItemRecord.h"

namespace nQvzelTool {

// The slot-path text of port a_Port's bridge, from the card's slot path (that
// of its first port's bridge, returned unchanged for port 0). The library
// names only the first port's bridge; the others sit beside it at the
// following device numbers, same function. The text is read and written by
// the library's cSlotPath; empty when it does not parse, has no first code or
// the port's device number would run past the bus.
std::string portSlotPath(const std::string& a_rCardPath, uint32_t a_Port);

// Fills m_Attachment of every controller (the closest upstream port above
// it) and m_ChassisFound of every port, from the ports' m_SlotPath texts;
// linear in the number of items.
void attachControllers(std::vector<sItemRecord>& a_rItems);

}  // namespace nQvzelTool
