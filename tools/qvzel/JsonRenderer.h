// SPDX-License-Identifier: LGPL-2.1-or-later
// JSON renderers of `list --json`, `show --json` and `idsel --json`. The
// documents' keys and value types are documented in docs/tool.md; keys are
// always present, with null where the library gave no value.
#pragma once

#include <cstdint>
#include <string>

#include "cJsonWriter.h"
#include "sItemRecord.h"

namespace nQvzelTool {

// Version of the documents' layout; raised only when a key changes meaning or
// disappears.
constexpr uint32_t kJsonLayoutVersion = 1;

// {"code": .., "name": .., "text": ..} for a status code.
void writeStatus(cJsonWriter& a_rJson, int32_t a_Code);
// One item object.
void writeItem(cJsonWriter& a_rJson, const sItemRecord& a_rItem, const sInventory& a_rInventory);

std::string listJson(const sInventory& a_rInventory);
std::string showJson(const sItemRecord& a_rItem, const sInventory& a_rInventory);
std::string idselJson(const sItemRecord& a_rItem, const uint8_t* a_pMap);

}  // namespace nQvzelTool
