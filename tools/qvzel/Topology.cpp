#include "Topology.h"

#include <cctype>
#include <cstdlib>

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
