// Text renderers: the item table of `list` and the attribute block of `show`.
#pragma once

#include <cstddef>
#include <ostream>

#include "sItemRecord.h"

namespace nQvzelTool {

// One row per item (index, kind, slot path, PCI address, model), followed by
// indented lines with the other values (vendor, IDs, serial and part number,
// ports and link values, controller values). Rows are kept within a_Columns
// by cutting the model; 0 cuts nothing.
void renderTable(const sInventory& a_rInventory, std::ostream& a_rOut, size_t a_Columns = 0);

// Every attribute of one item, one "name: value" line each.
void renderDetails(const sItemRecord& a_rItem, const sInventory& a_rInventory,
                   std::ostream& a_rOut);

// The line `list` prints when the library found nothing.
extern const char* const kNoDeviceLine;

}  // namespace nQvzelTool
