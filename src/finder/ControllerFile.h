// SPDX-License-Identifier: LGPL-2.1-or-later
// Link controllers named in the controller description file
// <sharedstatedir>/qvpxi/pxicontrollers.ini: one per section whose keys
// "VendorName", "ModelName" and "SlotPath" are present and whose slot path
// names an existing bridge.
#pragma once

#include <string>

#include "finder/Discovery.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

// Path of the controller description file below a shared state directory.
std::string controllerFilePath(const std::string& a_rSharedStateDir);

// Appends the file's controllers to a_rList. Failures of the file or of one
// section are dropped and nothing is reported; a shared state directory that
// cannot be resolved counts as no controller file. Growing the list may throw
// std::bad_alloc, which the list opening turns into out of memory.
void addControllersFromFile(tDeviceList& a_rList,
                            nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc& a_rWrapper);

}  // namespace nQVZEL_15_0
