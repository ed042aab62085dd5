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

// Reads every item of an opened list and works out where each controller
// hangs (see Topology.h).
sInventory readInventory(const cFinderList& a_rList);

}  // namespace nQvzelTool
