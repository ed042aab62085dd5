// SPDX-License-Identifier: LGPL-2.1-or-later
// iPciBrdWrapper_sc: how the rest of the library talks to the PCI bridge
// library. Every operation that takes a status does nothing when it already
// holds an error, and records each non-zero result of the component with
// the text of the failed call. List operations return vectors.
#pragma once

#include <cstdint>
#include <vector>

#include "pcibridge/tPciBrdEntryPoints.h"
#include "status/JsonStatus.h"

namespace nQvPxiDriverTools_1_0 {
class cSlotPath;
}

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

class iPciBrdWrapper_sc {
 public:
  virtual ~iPciBrdWrapper_sc() {}

  // Opens a session, closing an open one first.
  virtual void OpenSession(uint32_t a_Flags, JsonStatus& a_rStatus) = 0;
  // Closes the session (also when none is open); returns the component's result unrecorded.
  virtual int32_t CloseSession() = 0;
  virtual bool IsSessionOpen() const = 0;
  // Bridges whose identifiers match; a null identifier matches any value.
  virtual void FindBridgesByPciIds(const uint16_t* a_pVid, const uint16_t* a_pPid,
                                   const uint16_t* a_pSsVid, const uint16_t* a_pSsPid,
                                   std::vector<uint32_t>& a_rBridges, JsonStatus& a_rStatus) = 0;
  virtual void FindBridgeByAddress(uint8_t a_Bus, uint8_t a_Dev, uint8_t a_Func,
                                   uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) = 0;
  virtual void FindBridgeBySlotPath(const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                    uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) = 0;
  virtual void FindParentBridgeForBus(uint8_t a_Bus, uint32_t& a_rBridgeRef,
                                      JsonStatus& a_rStatus) = 0;
  virtual void GetBridgeParent(uint32_t a_Child, uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) = 0;
  virtual void GetBridgeChildren(uint32_t a_Parent, std::vector<uint32_t>& a_rChildren,
                                 JsonStatus& a_rStatus) = 0;
  virtual void GetBusChildren(uint8_t a_Bus, std::vector<uint32_t>& a_rChildren,
                              JsonStatus& a_rStatus) = 0;
  virtual void GetRootBuses(std::vector<uint32_t>& a_rRootBuses, JsonStatus& a_rStatus) = 0;
  // Outputs may be null when not wanted.
  virtual void GetBridgeAddress(uint32_t a_BridgeRef, uint8_t* a_pBus, uint8_t* a_pDev,
                                uint8_t* a_pFunc, JsonStatus& a_rStatus) = 0;
  virtual void GetBridgeSlotPath(uint32_t a_BridgeRef,
                                 nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                 JsonStatus& a_rStatus) = 0;
  virtual void GetBridgeIds(uint32_t a_BridgeRef, uint16_t* a_pVid, uint16_t* a_pPid,
                            uint16_t* a_pSsVid, uint16_t* a_pSsPid, JsonStatus& a_rStatus) = 0;
  virtual void SetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId, uint32_t a_Value,
                               JsonStatus& a_rStatus) = 0;
  // -313004 when the bridge does not serve the attribute.
  virtual void GetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId,
                               uint32_t& a_rAttributeBuffer, JsonStatus& a_rStatus) = 0;
  virtual void OpenBridge(uint32_t a_BridgeRef, JsonStatus& a_rStatus) = 0;
  // Returns the component's result unrecorded.
  virtual int32_t CloseBridge(uint32_t a_BridgeRef) = 0;
  virtual void EepromUpdate(uint32_t a_Bridge, uint16_t a_Vid, uint16_t a_Pid,
                            uint32_t a_AlwaysOverwrite, uint32_t a_UpdateMethod,
                            uint32_t a_ByteCount, const uint8_t* a_pBuffer,
                            JsonStatus& a_rStatus) = 0;
};

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
