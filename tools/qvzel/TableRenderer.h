// Text renderers: the item table of `list` and the attribute block of `show`.
#pragma once

#include <ostream>

#include "sItemRecord.h"

namespace nQvzelTool {

// One row per item with the common attributes, followed by indented lines
// with the kind-specific ones (ports and link values, controller values).
void renderTable(const sInventory& a_rInventory, std::ostream& a_rOut);

// Every attribute of one item, one "name: value" line each.
void renderDetails(const sItemRecord& a_rItem, const sInventory& a_rInventory,
                   std::ostream& a_rOut);

// The line `list` prints when the library found nothing.
extern const char* const kNoDeviceLine;

}  // namespace nQvzelTool
