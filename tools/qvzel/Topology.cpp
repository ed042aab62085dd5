// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Topology.h"

#include <cctype>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace nQvzelTool {

namespace {

// A slot-path text as the library writes it ("MR00:00,10,E0"), cut at the
// colon and the commas. The pieces stay texts and are compared as texts; only
// a port-level code is read as a number, to tell which port it is.
struct sSlotPathText {
  std::string m_Root;                // the part before the colon
  std::vector<std::string> m_Codes;  // front (deepest) first
};

std::string upper(std::string a_Text) {
  for (char& l_rChar : a_Text)
    l_rChar = static_cast<char>(std::toupper(static_cast<unsigned char>(l_rChar)));
  return a_Text;
}

bool splitSlotPath(const std::string& a_rText, sSlotPathText& a_rPath) {
  const size_t l_Colon = a_rText.find(':');
  if (l_Colon == std::string::npos) return false;
  a_rPath.m_Root = upper(a_rText.substr(0, l_Colon));
  a_rPath.m_Codes.clear();
  size_t l_Start = l_Colon + 1;
  while (l_Start < a_rText.size()) {
    size_t l_End = a_rText.find(',', l_Start);
    if (l_End == std::string::npos) l_End = a_rText.size();
    a_rPath.m_Codes.push_back(upper(a_rText.substr(l_Start, l_End - l_Start)));
    l_Start = l_End + 1;
  }
  return true;
}

// The device number of a device/function code ("(device << 3) | function" in
// hex), and its function; false for a text that is no such code.
bool readCode(const std::string& a_rCode, unsigned& a_rDevice, unsigned& a_rFunction) {
  char* l_pEnd = nullptr;
  const unsigned long l_Value = std::strtoul(a_rCode.c_str(), &l_pEnd, 16);
  if (a_rCode.empty() || *l_pEnd != '\0' || l_Value > 0xFF) return false;
  a_rDevice = static_cast<unsigned>(l_Value >> 3);
  a_rFunction = static_cast<unsigned>(l_Value & 7);
  return true;
}

// Index of the port whose bridge has code a_rBridge, given the first port's
// bridge code: the ports sit at the following device numbers, same function.
int portIndex(const std::string& a_rBridge, const std::string& a_rFirst, size_t a_PortCount) {
  if (a_rBridge == a_rFirst) return 0;
  unsigned l_Device = 0;
  unsigned l_Function = 0;
  unsigned l_FirstDevice = 0;
  unsigned l_FirstFunction = 0;
  if (!readCode(a_rBridge, l_Device, l_Function) ||
      !readCode(a_rFirst, l_FirstDevice, l_FirstFunction)) {
    return -1;
  }
  if (l_Function != l_FirstFunction || l_Device <= l_FirstDevice ||
      l_Device - l_FirstDevice >= a_PortCount) {
    return -1;
  }
  return static_cast<int>(l_Device - l_FirstDevice);
}

}  // namespace

int findPortBelow(const sItemRecord& a_rUpstream, const sItemRecord& a_rController,
                  size_t& a_rDepth) {
  sSlotPathText l_Port;
  sSlotPathText l_Controller;
  if (a_rUpstream.m_Kind != eItemKind::kUpstream || a_rUpstream.m_Ports.empty()) return -1;
  if (!splitSlotPath(a_rUpstream.m_SlotPath.m_Value, l_Port) || l_Port.m_Codes.empty()) return -1;
  if (!splitSlotPath(a_rController.m_SlotPath.m_Value, l_Controller)) return -1;
  if (l_Port.m_Root != l_Controller.m_Root) return -1;

  // The port bridges' common parent must be a tail of the controller's path,
  // with the port bridge and at least one level below it in front of it.
  const size_t l_ParentLength = l_Port.m_Codes.size() - 1;
  const std::vector<std::string>& l_rCodes = l_Controller.m_Codes;
  if (l_rCodes.size() < l_ParentLength + 2) return -1;
  const size_t l_Offset = l_rCodes.size() - l_ParentLength;
  for (size_t l_Level = 0; l_Level < l_ParentLength; ++l_Level) {
    if (l_rCodes[l_Offset + l_Level] != l_Port.m_Codes[1 + l_Level]) return -1;
  }
  const int l_PortIndex =
      portIndex(l_rCodes[l_Offset - 1], l_Port.m_Codes.front(), a_rUpstream.m_Ports.size());
  if (l_PortIndex >= 0) a_rDepth = l_Port.m_Codes.size();
  return l_PortIndex;
}

namespace {

// The text of a path's pieces from code a_From up to the root: the key under
// which the upstream devices whose port bridges sit on that parent are found.
std::string parentKey(const sSlotPathText& a_rPath, size_t a_From) {
  std::string l_Key = a_rPath.m_Root + ':';
  for (size_t l_Index = a_From; l_Index < a_rPath.m_Codes.size(); ++l_Index) {
    if (l_Index > a_From) l_Key += ',';
    l_Key += a_rPath.m_Codes[l_Index];
  }
  return l_Key;
}

}  // namespace

void attachControllers(std::vector<sItemRecord>& a_rItems) {
  // The upstream devices by the parent of their port bridges, in list order,
  // so that each controller looks up only the few devices its path can name
  // (one look-up per level) instead of every item.
  std::unordered_map<std::string, std::vector<const sItemRecord*>> l_ByParent;
  for (const sItemRecord& l_rItem : a_rItems) {
    sSlotPathText l_Path;
    if (l_rItem.m_Kind != eItemKind::kUpstream || l_rItem.m_Ports.empty() ||
        !splitSlotPath(l_rItem.m_SlotPath.m_Value, l_Path) || l_Path.m_Codes.empty()) {
      continue;
    }
    l_ByParent[parentKey(l_Path, 1)].push_back(&l_rItem);
  }
  std::vector<std::pair<uint32_t, uint32_t>> l_Found;  // (upstream index, port index)
  for (sItemRecord& l_rController : a_rItems) {
    if (l_rController.m_Kind != eItemKind::kController) continue;
    l_rController.m_Attachment = sAttachment();
    sSlotPathText l_Path;
    if (l_ByParent.empty() || !splitSlotPath(l_rController.m_SlotPath.m_Value, l_Path)) continue;
    // The port bridge is code l_Level - 1 and at least one level lies below
    // it; the deepest parent comes first, so the closest port wins.
    for (size_t l_Level = 2; l_Level <= l_Path.m_Codes.size(); ++l_Level) {
      const auto l_Candidates = l_ByParent.find(parentKey(l_Path, l_Level));
      if (l_Candidates == l_ByParent.end()) continue;
      for (const sItemRecord* l_pUpstream : l_Candidates->second) {
        size_t l_Depth = 0;
        const int l_Port = findPortBelow(*l_pUpstream, l_rController, l_Depth);
        if (l_Port < 0) continue;
        l_rController.m_Attachment.m_Attached = true;
        l_rController.m_Attachment.m_UpstreamIndex = l_pUpstream->m_Index;
        l_rController.m_Attachment.m_PortIndex = static_cast<uint32_t>(l_Port);
        break;
      }
      if (l_rController.m_Attachment.m_Attached) break;
    }
    if (l_rController.m_Attachment.m_Attached) {
      l_Found.emplace_back(l_rController.m_Attachment.m_UpstreamIndex,
                           l_rController.m_Attachment.m_PortIndex);
    }
  }
  // Each port tells whether a chassis was found below it (items stand at
  // their own index, as the list gives them).
  for (sItemRecord& l_rItem : a_rItems) {
    for (sPortRecord& l_rPort : l_rItem.m_Ports) l_rPort.m_ChassisFound = false;
  }
  for (const auto& l_rAt : l_Found) {
    if (l_rAt.first < a_rItems.size() && a_rItems[l_rAt.first].m_Index == l_rAt.first &&
        l_rAt.second < a_rItems[l_rAt.first].m_Ports.size()) {
      a_rItems[l_rAt.first].m_Ports[l_rAt.second].m_ChassisFound = true;
    }
  }
}

}  // namespace nQvzelTool
