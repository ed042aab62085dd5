// SPDX-License-Identifier: LGPL-2.1-or-later
// Text renderers: the item table of `list` and the attribute block of `show`.
#pragma once

#include <cstddef>
#include <ostream>

#include "sItemRecord.h"

namespace nQvzelTool {

// One row per item (index, kind, slot path, PCI address, model), followed by
// indented lines with the other values (vendor, IDs, serial and part number,
// ports and link values, controller values). Rows are kept within a_Columns
// by cutting the model, the indented lines by wrapping them.
void renderTable(const sInventory& a_rInventory, std::ostream& a_rOut, size_t a_Columns = 80);

// Every attribute of one item, one "name: value" line each, wrapped within
// a_Columns. A value the library did not give is "-" with the reason: the
// status name of the failed read, or "empty".
void renderDetails(const sItemRecord& a_rItem, const sInventory& a_rInventory,
                   std::ostream& a_rOut, size_t a_Columns = 80);

// The line `list` prints when the library found nothing.
extern const char* const kNoDeviceLine;

}  // namespace nQvzelTool
