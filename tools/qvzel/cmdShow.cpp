// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel show ITEM [--json]
#include "Commands.h"
#include "ErrorReport.h"
#include "ItemCommands.h"
#include "ItemReader.h"
#include "JsonRenderer.h"
#include "TableRenderer.h"
#include "cStandardOutput.h"

namespace nQvzelTool {

int runShow(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  sSelectedItem l_Selected;
  if (!openAndSelect(a_rOptions.m_Args.at(0), l_Selected, a_rErr)) return kExitFailure;
  sItemRecord& l_rItem = l_Selected.record();
  // Driver values answer only while the device is open; reading them opens it
  // briefly.
  if (l_rItem.m_Kind == eItemKind::kUpstream) readFirmware(l_Selected.m_pItem, l_rItem);
  if (a_rOptions.m_Json) {
    a_rOut << showJson(l_rItem, l_Selected.m_Inventory);
  } else {
    renderDetails(l_rItem, l_Selected.m_Inventory, a_rOut, cStandardOutput::columns());
  }
  const int32_t l_Failed = failedReadCode(l_rItem);
  if (l_Failed < 0) {
    reportFailure(a_rErr,
                  "some attributes of item " + std::to_string(l_Selected.m_Index) +
                      " could not be read; their lines name the status of the failed read.",
                  l_Failed);
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace nQvzelTool
