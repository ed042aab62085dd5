// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel idsel ITEM [--json]
#include <cstdio>

#include "Commands.h"
#include "ErrorReport.h"
#include "Format.h"
#include "ItemCommands.h"
#include "JsonRenderer.h"
#include "cStandardOutput.h"
#include "qvzelif.h"

namespace nQvzelTool {

namespace {
constexpr uint8_t kNoSlot = 0xFF;
}  // namespace

int runIdsel(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  sSelectedItem l_Selected;
  if (!openAndSelect(a_rOptions.m_Args.at(0), l_Selected, a_rErr)) return kExitFailure;
  const sItemRecord& l_rItem = l_Selected.record();
  const uint32_t l_Index = l_Selected.m_Index;
  if (l_rItem.m_Kind != eItemKind::kController) {
    reportFailure(a_rErr, "item " + std::to_string(l_Index) + " is not a link controller; only " +
                              "link controllers have an IDSEL map.");
    return kExitFailure;
  }
  const uint8_t* l_pMap = nullptr;
  const int32_t l_Code = nQVPXIFINDER100_getControllerIDSELMap(l_Selected.m_pItem, &l_pMap);
  if (l_Code < 0 || l_pMap == nullptr) {
    reportFailure(a_rErr, "cannot read the IDSEL map of item " + std::to_string(l_Index) + ".",
                  l_Code);
    return kExitFailure;
  }
  if (a_rOptions.m_Json) {
    a_rOut << idselJson(l_rItem, l_pMap);
    return kExitSuccess;
  }
  a_rOut << wrapText(
      "IDSEL map of item " + std::to_string(l_Index) + " ",
      "(" + textOrDash(l_rItem.m_Model) + ", " + textOrDash(l_rItem.m_SlotPath) + "):", "  ",
      cStandardOutput::columns());
  a_rOut << "ENTRY  VALUE\n";
  for (uint32_t l_Entry = 0; l_Entry < QVZEL_IDSEL_MAP_SIZE; ++l_Entry) {
    char l_Line[64];
    if (l_pMap[l_Entry] == kNoSlot) {
      std::snprintf(l_Line, sizeof(l_Line), "%5u  0xFF (no slot)\n", l_Entry);
    } else {
      std::snprintf(l_Line, sizeof(l_Line), "%5u  %u\n", l_Entry, l_pMap[l_Entry]);
    }
    a_rOut << l_Line;
  }
  return kExitSuccess;
}

}  // namespace nQvzelTool
