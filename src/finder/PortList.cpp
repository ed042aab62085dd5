// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/PortList.h"

#include <vector>

#include "device/BridgeAttribute.h"
#include "qvpcibrd.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

using nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc;

namespace {

const char* portName(const sModelEntry& a_rRow, uint64_t a_Index) {
  if (a_Index >= kModelMaxPorts || a_rRow.m_PortNames[a_Index] == nullptr) return "";
  return a_rRow.m_PortNames[a_Index];
}

// Every slot path gets a bridge entry, found or not.
std::vector<uint32_t> findPortBridges(const sCommonDeviceInfo& a_rInfo,
                                      iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus) {
  std::vector<uint32_t> l_Bridges;
  if (a_rStatus.isFatal()) return l_Bridges;
  for (const auto& l_rPath : a_rInfo.m_SlotPaths) {
    uint32_t l_Bridge = 0;
    {
      JsonStatusScope l_Scope(a_rStatus);
      a_rWrapper.FindBridgeBySlotPath(l_rPath, l_Bridge, l_Scope.json());
    }
    l_Bridges.push_back(l_Bridge);
  }
  return l_Bridges;
}

// The port of a single-port product: the first bridge's number, when the
// bridge library serves it.
sPortInfo singlePort(const sModelEntry& a_rRow, uint32_t a_Bridge, iPciBrdWrapper_sc& a_rWrapper,
                     Status& a_rStatus) {
  sPortInfo l_Port{portName(a_rRow, 0), kNoPortNumber, 0, 0};
  l_Port.m_BridgeAttr300Served = readServedBridgeAttribute(
      a_rWrapper, a_Bridge, QVPCIBRD_ATTR_PORT_NUMBER, l_Port.m_BridgeAttr300, a_rStatus);
  return l_Port;
}

// Reads the number, width and speed of one port bridge. One standalone status
// for the five calls; once it fails, the later wrapper calls return without
// reaching the bridge library.
void readPortBridge(uint32_t a_Bridge, iPciBrdWrapper_sc& a_rWrapper, sPortInfo& a_rPort,
                    Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  JsonStatus l_Json;
  a_rWrapper.GetAttributeU32(a_Bridge, QVPCIBRD_ATTR_PORT_NUMBER, a_rPort.m_BridgeAttr300, l_Json);
  a_rWrapper.OpenBridge(a_Bridge, l_Json);
  a_rWrapper.GetAttributeU32(a_Bridge, QVPCIBRD_ATTR_LINK_WIDTH, a_rPort.m_BridgeAttrB00, l_Json);
  a_rWrapper.GetAttributeU32(a_Bridge, QVPCIBRD_ATTR_LINK_SPEED, a_rPort.m_BridgeAttrC00, l_Json);
  a_rWrapper.CloseBridge(a_Bridge);
  jsonToStatus(l_Json, a_rStatus);
}

// The ports of a multi-port product, one per bridge until the row's names are
// used up; a_rUsed counts the names taken. A bridge's failure is recorded and
// the next bridge is still read. False when the bridge library does not serve
// an attribute of a bridge: the ports read so far stay, and the names are not
// counted against the row.
bool addWidePorts(const sModelEntry& a_rRow, const std::vector<uint32_t>& a_rBridges,
                  iPciBrdWrapper_sc& a_rWrapper, tPortList& a_rPorts, uint64_t& a_rUsed,
                  Status& a_rStatus) {
  if (a_rStatus.isFatal()) return false;
  for (uint32_t l_Bridge : a_rBridges) {
    if (a_rUsed >= a_rRow.m_PortCount) break;
    sPortInfo l_Port{portName(a_rRow, a_rUsed), kNoPortNumber, 0, 0};
    Status l_BridgeStatus;
    readPortBridge(l_Bridge, a_rWrapper, l_Port, l_BridgeStatus);
    if (mergeUnlessNotServed(l_BridgeStatus, a_rStatus)) return false;
    a_rPorts.push_back(l_Port);

    // Each name the bridge occupies past the row's last one is an overflow.
    const uint64_t l_Occupied = l_Port.m_BridgeAttrB00 / a_rRow.m_PortWidth;
    if (a_rUsed + l_Occupied > a_rRow.m_PortCount) QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
    a_rUsed += l_Occupied;
  }
  return true;
}

}  // namespace

tPortList buildPortList(const sCommonDeviceInfo& a_rInfo, const sModelEntry& a_rRow,
                        iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus) {
  tPortList l_Ports;
  const std::vector<uint32_t> l_Bridges = findPortBridges(a_rInfo, a_rWrapper, a_rStatus);
  if (a_rStatus.isFatal()) return l_Ports;

  // Port names used so far; 64 bits so that a bridge reporting a huge width
  // cannot wrap the count.
  uint64_t l_Used = 0;
  if (!l_Bridges.empty()) {
    if (a_rRow.m_PortWidth == 0) {
      l_Ports.push_back(singlePort(a_rRow, l_Bridges[0], a_rWrapper, a_rStatus));
      l_Used = 1;
    } else if (!addWidePorts(a_rRow, l_Bridges, a_rWrapper, l_Ports, l_Used, a_rStatus)) {
      return l_Ports;
    }
  }
  if (l_Used != a_rRow.m_PortCount) QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  return l_Ports;
}

}  // namespace nQVZEL_15_0
