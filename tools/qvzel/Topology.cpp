// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Topology.h"

#include <unordered_map>
#include <utility>

#include "Status.h"
#include "cSlotPath.h"

namespace nQvzelTool {

namespace {

// A code holds a function number in its low bits and a device number above
// them; a bus has device numbers up to kMaxDevice.
constexpr unsigned kFunctionBits = 3;
constexpr unsigned kFunctionMask = (1u << kFunctionBits) - 1;
constexpr unsigned kMaxDevice = 31;

// Where a port bridge stands: upstream item and port index.
using tPortAt = std::pair<uint32_t, uint32_t>;

// The slot-path texts of a path's ancestors, the deepest first (so that the
// closest port wins); none when the text does not parse.
std::vector<std::string> ancestorPaths(const std::string& a_rPath) {
  std::vector<std::string> l_Paths;
  Status l_Status;
  nQvPxiDriverTools_1_0::cSlotPath l_Path(a_rPath.c_str(), l_Status);
  for (l_Path.PopFront(); l_Status.isNotFatal() && !l_Path.IsEmpty(); l_Path.PopFront()) {
    std::string l_Text;
    l_Path.GetText(l_Text, l_Status);
    if (l_Status.isNotFatal()) l_Paths.push_back(l_Text);
  }
  return l_Paths;
}

}  // namespace

std::string portSlotPath(const std::string& a_rCardPath, uint32_t a_Port) {
  if (a_Port == 0) return a_rCardPath;
  Status l_Status;
  nQvPxiDriverTools_1_0::cSlotPath l_Path(a_rCardPath.c_str(), l_Status);
  const int l_Code = l_Path.GetFrontDeviceFunction(l_Status);
  if (l_Status.isFatal()) return std::string();
  const unsigned l_Device = (static_cast<unsigned>(l_Code) >> kFunctionBits) + a_Port;
  if (a_Port > kMaxDevice || l_Device > kMaxDevice) return std::string();
  l_Path.PopFront();
  l_Path.PushDeviceFunction(static_cast<uint8_t>(l_Device),
                            static_cast<uint8_t>(static_cast<unsigned>(l_Code) & kFunctionMask),
                            l_Status);
  std::string l_Text;
  l_Path.GetText(l_Text, l_Status);
  return l_Status.isFatal() ? std::string() : l_Text;
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
    if (l_Ports.empty() || !l_rController.m_SlotPath.m_Present) continue;
    for (const std::string& l_rAncestor : ancestorPaths(l_rController.m_SlotPath.m_Value)) {
      const auto l_Port = l_Ports.find(l_rAncestor);
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
