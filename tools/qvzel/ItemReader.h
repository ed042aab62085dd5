// SPDX-License-Identifier: LGPL-2.1-or-later
// Reads what the library answers about its items into the tool's data model.
#pragma once

#include "cFinderList.h"
#include "sItemRecord.h"

namespace nQvzelTool {

// Every attribute item a_pItem answers, as record number a_Index.
sItemRecord readItem(void* a_pItem, uint32_t a_Index);

// Opens an upstream device, reads its driver values into the record's
// firmware part and closes it again.
void readFirmware(void* a_pItem, sItemRecord& a_rItem);

// The code of the first read of the record that failed, or 0. A value the
// library reports as empty for this device (QVZEL_ERR_NOT_SUPPORTED: no
// serial number, a port without a width) is no failure; nor are driver
// values when opening the device failed, which the record tells itself.
int32_t failedReadCode(const sItemRecord& a_rItem);

// Reads every item of an opened list and works out where each controller
// hangs (see Topology.h).
sInventory readInventory(const cFinderList& a_rList);

}  // namespace nQvzelTool
