// SPDX-License-Identifier: LGPL-2.1-or-later
#include "TreeRenderer.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Format.h"
#include "TableRenderer.h"

namespace nQvzelTool {

namespace {

// An item's line after a_rFirst, continued after a_rNext where it does not fit.
std::string itemLines(const sItemRecord& a_rItem, const std::string& a_rFirst,
                      const std::string& a_rNext, size_t a_Columns) {
  std::vector<std::string> l_Fields = {"[" + std::to_string(a_rItem.m_Index) + "] " +
                                           kindName(a_rItem.m_Kind) + " " +
                                           textOrDash(a_rItem.m_Model),
                                       textOrDash(a_rItem.m_SlotPath), pciAddressText(a_rItem)};
  if (a_rItem.m_SerialNumber.m_Present && !a_rItem.m_SerialNumber.m_Value.empty()) {
    l_Fields.push_back("serial " + textOrDash(a_rItem.m_SerialNumber));
  }
  return wrapFields(a_rFirst, l_Fields, a_rNext, a_Columns);
}

// The controllers below each port, keyed by upstream index and port index,
// gathered in one pass in list order.
using tBelow = std::map<std::pair<uint32_t, uint32_t>, std::vector<const sItemRecord*>>;

tBelow controllersBelow(const sInventory& a_rInventory) {
  tBelow l_Result;
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    const sAttachment& l_rAt = l_rItem.m_Attachment;
    if (l_rItem.m_Kind == eItemKind::kController && l_rAt.m_Attached) {
      l_Result[{l_rAt.m_UpstreamIndex, l_rAt.m_PortIndex}].push_back(&l_rItem);
    }
  }
  return l_Result;
}

}  // namespace

void renderTree(const sInventory& a_rInventory, std::ostream& a_rOut, size_t a_Columns) {
  if (a_rInventory.m_Items.empty()) {
    a_rOut << kNoDeviceLine << '\n';
    return;
  }
  bool l_AnyLoose = false;
  const tBelow l_AllBelow = controllersBelow(a_rInventory);
  const std::vector<const sItemRecord*> l_None;
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (l_rItem.m_Kind != eItemKind::kUpstream) {
      if (!l_rItem.m_Attachment.m_Attached) l_AnyLoose = true;
      continue;
    }
    a_rOut << itemLines(l_rItem, "", l_rItem.m_Ports.empty() ? "    " : "|       ", a_Columns);
    for (size_t l_Port = 0; l_Port < l_rItem.m_Ports.size(); ++l_Port) {
      const sPortRecord& l_rPort = l_rItem.m_Ports[l_Port];
      const bool l_LastPort = l_Port + 1 == l_rItem.m_Ports.size();
      const std::string l_Name =
          l_rPort.m_Name.m_Present ? displayText(l_rPort.m_Name.m_Value) : std::to_string(l_Port);
      a_rOut << wrapText(l_LastPort ? "`-- " : "|-- ",
                         "port " + l_Name + (l_rPort.m_ChassisFound ? "" : ": no chassis"),
                         l_LastPort ? "        " : "|       ", a_Columns);
      const auto l_Found = l_AllBelow.find({l_rItem.m_Index, static_cast<uint32_t>(l_Port)});
      const std::vector<const sItemRecord*>& l_Below =
          l_Found == l_AllBelow.end() ? l_None : l_Found->second;
      for (size_t l_Child = 0; l_Child < l_Below.size(); ++l_Child) {
        const std::string l_Stem = l_LastPort ? "    " : "|   ";
        const bool l_LastChild = l_Child + 1 == l_Below.size();
        a_rOut << itemLines(*l_Below[l_Child], l_Stem + (l_LastChild ? "`-- " : "|-- "),
                            l_Stem + (l_LastChild ? "        " : "|       "), a_Columns);
      }
    }
  }
  if (!l_AnyLoose) return;
  a_rOut << "Not below a listed upstream port:\n";
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (l_rItem.m_Kind != eItemKind::kUpstream && !l_rItem.m_Attachment.m_Attached) {
      a_rOut << itemLines(l_rItem, "    ", "        ", a_Columns);
    }
  }
}

}  // namespace nQvzelTool
