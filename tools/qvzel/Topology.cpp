#include "Topology.h"

#include <cctype>

namespace nQvzelTool {

namespace {

bool hexDigit(char a_Char, uint8_t& a_rValue) {
  if (a_Char >= '0' && a_Char <= '9') {
    a_rValue = static_cast<uint8_t>(a_Char - '0');
  } else if (a_Char >= 'A' && a_Char <= 'F') {
    a_rValue = static_cast<uint8_t>(a_Char - 'A' + 10);
  } else if (a_Char >= 'a' && a_Char <= 'f') {
    a_rValue = static_cast<uint8_t>(a_Char - 'a' + 10);
  } else {
    return false;
  }
  return true;
}

bool hexByte(const std::string& a_rText, size_t a_Pos, uint8_t& a_rValue) {
  uint8_t l_High = 0;
  uint8_t l_Low = 0;
  if (a_Pos + 2 > a_rText.size()) return false;
  if (!hexDigit(a_rText[a_Pos], l_High) || !hexDigit(a_rText[a_Pos + 1], l_Low)) return false;
  a_rValue = static_cast<uint8_t>(l_High * 16 + l_Low);
  return true;
}

uint8_t deviceOf(uint8_t a_Code) { return static_cast<uint8_t>(a_Code >> 3); }
uint8_t functionOf(uint8_t a_Code) { return static_cast<uint8_t>(a_Code & 7); }

}  // namespace

bool parseSlotPath(const std::string& a_rText, sParsedSlotPath& a_rPath) {
  sParsedSlotPath l_Path;
  if (a_rText.size() < 5 || std::toupper(static_cast<unsigned char>(a_rText[0])) != 'M' ||
      std::toupper(static_cast<unsigned char>(a_rText[1])) != 'R' || a_rText[4] != ':') {
    return false;
  }
  if (!hexByte(a_rText, 2, l_Path.m_RootBus)) return false;
  size_t l_Pos = 5;
  while (l_Pos < a_rText.size()) {
    uint8_t l_Code = 0;
    if (!hexByte(a_rText, l_Pos, l_Code)) return false;
    l_Path.m_Codes.push_back(l_Code);
    l_Pos += 2;
    if (l_Pos == a_rText.size()) break;
    if (a_rText[l_Pos] != ',' || l_Pos + 1 == a_rText.size()) return false;
    ++l_Pos;
  }
  a_rPath = l_Path;
  return true;
}

int findPortBelow(const sItemRecord& a_rUpstream, const sItemRecord& a_rController,
                  size_t& a_rDepth) {
  sParsedSlotPath l_Port;
  sParsedSlotPath l_Controller;
  if (a_rUpstream.m_Kind != eItemKind::kUpstream || a_rUpstream.m_Ports.empty()) return -1;
  if (!parseSlotPath(a_rUpstream.m_SlotPath.m_Value, l_Port) || l_Port.m_Codes.empty()) return -1;
  if (!parseSlotPath(a_rController.m_SlotPath.m_Value, l_Controller)) return -1;
  if (l_Port.m_RootBus != l_Controller.m_RootBus) return -1;

  // The port bridges' common parent must be a tail of the controller's path,
  // with the port bridge and at least one level below it in front of it.
  const size_t l_ParentLength = l_Port.m_Codes.size() - 1;
  const std::vector<uint8_t>& l_rCodes = l_Controller.m_Codes;
  if (l_rCodes.size() < l_ParentLength + 2) return -1;
  const size_t l_Offset = l_rCodes.size() - l_ParentLength;
  for (size_t l_Level = 0; l_Level < l_ParentLength; ++l_Level) {
    if (l_rCodes[l_Offset + l_Level] != l_Port.m_Codes[1 + l_Level]) return -1;
  }
  const uint8_t l_Bridge = l_rCodes[l_Offset - 1];
  const uint8_t l_First = l_Port.m_Codes.front();
  int l_PortIndex = -1;
  if (l_Bridge == l_First) {
    l_PortIndex = 0;
  } else if (functionOf(l_Bridge) == functionOf(l_First) &&
             deviceOf(l_Bridge) > deviceOf(l_First) &&
             static_cast<size_t>(deviceOf(l_Bridge) - deviceOf(l_First)) <
                 a_rUpstream.m_Ports.size()) {
    l_PortIndex = deviceOf(l_Bridge) - deviceOf(l_First);
  }
  if (l_PortIndex >= 0) a_rDepth = l_Port.m_Codes.size();
  return l_PortIndex;
}

void attachControllers(std::vector<sItemRecord>& a_rItems) {
  for (sItemRecord& l_rController : a_rItems) {
    if (l_rController.m_Kind != eItemKind::kController) continue;
    l_rController.m_Attachment = sAttachment();
    size_t l_BestDepth = 0;
    for (const sItemRecord& l_rUpstream : a_rItems) {
      size_t l_Depth = 0;
      const int l_Port = findPortBelow(l_rUpstream, l_rController, l_Depth);
      if (l_Port < 0 || l_Depth <= l_BestDepth) continue;
      l_BestDepth = l_Depth;
      l_rController.m_Attachment.m_Attached = true;
      l_rController.m_Attachment.m_UpstreamIndex = l_rUpstream.m_Index;
      l_rController.m_Attachment.m_PortIndex = static_cast<uint32_t>(l_Port);
    }
  }
}

}  // namespace nQvzelTool
