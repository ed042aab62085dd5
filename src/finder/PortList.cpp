// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/PortList.h"

#include "device/BridgeAttribute.h"
#include "qvpcibrd.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

namespace {

const char* portName(const sModelEntry& a_rRow, uint64_t a_Index) {
  if (a_Index >= kModelMaxPorts || a_rRow.m_PortNames[a_Index] == nullptr) return "";
  return a_rRow.m_PortNames[a_Index];
}

}  // namespace

tPortList buildPortList(const sCommonDeviceInfo& a_rInfo, const sModelEntry& a_rRow,
                        nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus) {
  tPortList l_Ports;
  if (a_rStatus.isFatal()) return l_Ports;

  // Every slot path gets a bridge entry, found or not.
  std::vector<uint32_t> l_Bridges;
  for (const auto& l_rPath : a_rInfo.m_SlotPaths) {
    uint32_t l_Bridge = 0;
    {
      JsonStatusScope l_Scope(a_rStatus);
      a_rWrapper.FindBridgeBySlotPath(l_rPath, l_Bridge, l_Scope.json());
    }
    l_Bridges.push_back(l_Bridge);
  }
  if (a_rStatus.isFatal()) return tPortList();

  // Port names used so far; 64 bits so that a bridge reporting a huge width
  // cannot wrap the count.
  uint64_t l_Used = 0;
  if (a_rRow.m_PortWidth == 0) {
    if (!l_Bridges.empty()) {
      sPortInfo l_Port{portName(a_rRow, 0), 0xFFFFFFFF, 0, 0};
      l_Port.m_BridgeAttr300Served = readServedBridgeAttribute(
          a_rWrapper, l_Bridges[0], QVPCIBRD_ATTR_PORT_NUMBER, l_Port.m_BridgeAttr300, a_rStatus);
      l_Ports.push_back(l_Port);
      l_Used = 1;
    }
  } else if (!l_Bridges.empty()) {
    if (a_rRow.m_PortCount == 0) return l_Ports;
    for (uint32_t l_Bridge : l_Bridges) {
      if (l_Used >= a_rRow.m_PortCount) break;
      // One standalone status for the five calls; once it fails, the later
      // wrapper calls return without reaching the bridge library.
      JsonStatus l_Json;
      uint32_t l_PortNumber = 0xFFFFFFFF;
      uint32_t l_Width = 0;
      uint32_t l_Speed = 0;
      a_rWrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_PORT_NUMBER, l_PortNumber, l_Json);
      a_rWrapper.OpenBridge(l_Bridge, l_Json);
      a_rWrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_LINK_WIDTH, l_Width, l_Json);
      a_rWrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_LINK_SPEED, l_Speed, l_Json);
      a_rWrapper.CloseBridge(l_Bridge);

      Status l_BridgeStatus;
      jsonToStatus(l_Json, l_BridgeStatus);
      // An attribute not served: keep the ports read so far.
      if (mergeUnlessNotServed(l_BridgeStatus, a_rStatus)) return l_Ports;
      l_Ports.push_back(sPortInfo{portName(a_rRow, l_Used), l_PortNumber, l_Width, l_Speed});

      // Each name the bridge occupies past the row's last one is an overflow.
      const uint64_t l_Occupied = l_Width / a_rRow.m_PortWidth;
      if (l_Used + l_Occupied > a_rRow.m_PortCount) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
      }
      l_Used += l_Occupied;
    }
  }
  if (l_Used != a_rRow.m_PortCount) QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  return l_Ports;
}

}  // namespace nQVZEL_15_0
