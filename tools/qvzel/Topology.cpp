// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Topology.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace nQvzelTool {

namespace {

// A code is "(device << 3) | function" in two hex digits; a port's bridge
// sits one device number (one step of this size) after the previous one's.
constexpr unsigned long kCodesPerDevice = 8;
constexpr unsigned long kMaxCode = 0xFF;

// Where a port bridge stands: upstream item and port index.
using tPortAt = std::pair<uint32_t, uint32_t>;

}  // namespace

std::string portSlotPath(const std::string& a_rCardPath, uint32_t a_Port) {
  if (a_Port == 0) return a_rCardPath;
  const size_t l_Start = a_rCardPath.find(':');
  if (l_Start == std::string::npos) return std::string();
  const size_t l_End = std::min(a_rCardPath.find(',', l_Start), a_rCardPath.size());
  const std::string l_First = a_rCardPath.substr(l_Start + 1, l_End - l_Start - 1);
  char* l_pEnd = nullptr;
  const unsigned long l_Code = std::strtoul(l_First.c_str(), &l_pEnd, 16);
  const unsigned long l_PortCode = l_Code + a_Port * kCodesPerDevice;
  if (l_First.empty() || *l_pEnd != '\0' || l_Code > kMaxCode || l_PortCode > kMaxCode) {
    return std::string();
  }
  char l_Text[3];
  std::snprintf(l_Text, sizeof l_Text, "%02lX", l_PortCode);
  return a_rCardPath.substr(0, l_Start + 1) + l_Text + a_rCardPath.substr(l_End);
}

void attachControllers(std::vector<sItemRecord>& a_rItems) {
  // Every port bridge's slot path, in list order; a path two cards name
  // stays with the first.
  std::unordered_map<std::string, tPortAt> l_Ports;
  for (const sItemRecord& l_rItem : a_rItems) {
    if (l_rItem.m_Kind != eItemKind::kUpstream) continue;
    for (const sPortRecord& l_rPort : l_rItem.m_Ports) {
      if (l_rPort.m_SlotPath.empty()) continue;
      l_Ports.emplace(l_rPort.m_SlotPath, tPortAt(l_rItem.m_Index, l_rPort.m_Index));
    }
  }
  std::vector<tPortAt> l_Found;
  for (sItemRecord& l_rController : a_rItems) {
    if (l_rController.m_Kind != eItemKind::kController) continue;
    l_rController.m_Attachment = sAttachment();
    const std::string& l_rPath = l_rController.m_SlotPath.m_Value;
    const size_t l_Start = l_rPath.find(':');
    if (l_Ports.empty() || !l_rController.m_SlotPath.m_Present || l_Start == std::string::npos) {
      continue;
    }
    // The ancestors' paths, the deepest first (so that the closest port
    // wins): the root part with the codes after each comma.
    for (size_t l_Comma = l_rPath.find(',', l_Start); l_Comma != std::string::npos;
         l_Comma = l_rPath.find(',', l_Comma + 1)) {
      const auto l_Port =
          l_Ports.find(l_rPath.substr(0, l_Start + 1) + l_rPath.substr(l_Comma + 1));
      if (l_Port == l_Ports.end()) continue;
      l_rController.m_Attachment.m_Attached = true;
      l_rController.m_Attachment.m_UpstreamIndex = l_Port->second.first;
      l_rController.m_Attachment.m_PortIndex = l_Port->second.second;
      l_Found.push_back(l_Port->second);
      break;
    }
  }
  // Each port tells whether a chassis was found below it (items stand at
  // their own index, as the list gives them).
  for (sItemRecord& l_rItem : a_rItems) {
    for (sPortRecord& l_rPort : l_rItem.m_Ports) l_rPort.m_ChassisFound = false;
  }
  for (const tPortAt& l_rAt : l_Found) {
    if (l_rAt.first < a_rItems.size() && a_rItems[l_rAt.first].m_Index == l_rAt.first &&
        l_rAt.second < a_rItems[l_rAt.first].m_Ports.size()) {
      a_rItems[l_rAt.first].m_Ports[l_rAt.second].m_ChassisFound = true;
    }
  }
}

}  // namespace nQvzelTool
