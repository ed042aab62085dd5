// SPDX-License-Identifier: LGPL-2.1-or-later
// The port list of an upstream link device, read from the PCI bridges at the
// device's slot paths.
#pragma once

#include "device/sCommonDeviceInfo.h"
#include "device/sModelEntry.h"
#include "device/sPortInfo.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

// One port per bridge for a single-port row (port width 0); a port number the
// bridge library does not serve leaves the port without one. For a multi-port
// row each bridge occupies its link width divided by the row's port width
// names: more names than the row has records overflow, fewer records internal
// failure. A bridge whose attributes the bridge library does not serve ends
// the list early without error.
tPortList buildPortList(const sCommonDeviceInfo& a_rInfo, const sModelEntry& a_rRow,
                        nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus);

}  // namespace nQVZEL_15_0
