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

std::string itemLine(const sItemRecord& a_rItem) {
  std::string l_Line = "[" + std::to_string(a_rItem.m_Index) + "] " + kindName(a_rItem.m_Kind) +
                       " " + textOrDash(a_rItem.m_Model) + "  " + textOrDash(a_rItem.m_SlotPath) +
                       "  " + pciAddressText(a_rItem);
  if (a_rItem.m_SerialNumber.m_Present && !a_rItem.m_SerialNumber.m_Value.empty()) {
    l_Line += "  serial " + textOrDash(a_rItem.m_SerialNumber);
  }
  return l_Line;
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

void renderTree(const sInventory& a_rInventory, std::ostream& a_rOut) {
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
    a_rOut << itemLine(l_rItem) << '\n';
    for (size_t l_Port = 0; l_Port < l_rItem.m_Ports.size(); ++l_Port) {
      const sPortRecord& l_rPort = l_rItem.m_Ports[l_Port];
      const bool l_LastPort = l_Port + 1 == l_rItem.m_Ports.size();
      const std::string l_Name =
          l_rPort.m_Name.m_Present ? displayText(l_rPort.m_Name.m_Value) : std::to_string(l_Port);
      a_rOut << (l_LastPort ? "`-- " : "|-- ") << "port " << l_Name
             << (l_rPort.m_ChassisFound ? "" : ": no chassis") << '\n';
      const auto l_Found = l_AllBelow.find({l_rItem.m_Index, static_cast<uint32_t>(l_Port)});
      const std::vector<const sItemRecord*>& l_Below =
          l_Found == l_AllBelow.end() ? l_None : l_Found->second;
      for (size_t l_Child = 0; l_Child < l_Below.size(); ++l_Child) {
        a_rOut << (l_LastPort ? "    " : "|   ")
               << (l_Child + 1 == l_Below.size() ? "`-- " : "|-- ") << itemLine(*l_Below[l_Child])
               << '\n';
      }
    }
  }
  if (!l_AnyLoose) return;
  a_rOut << "Not below a listed upstream port:\n";
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (l_rItem.m_Kind != eItemKind::kUpstream && !l_rItem.m_Attachment.m_Attached) {
      a_rOut << "    " << itemLine(l_rItem) << '\n';
    }
  }
}

}  // namespace nQvzelTool
