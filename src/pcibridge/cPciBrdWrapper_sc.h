// SPDX-License-Identifier: LGPL-2.1-or-later
// cPciBrdWrapper_sc: the PCI bridge wrapper over the run-time binding. It
// owns the binding and the session handle; see iPciBrdWrapper_sc.
#pragma once

#include "pcibridge/cPciBrdDynLib.h"
#include "pcibridge/iPciBrdWrapper_sc.h"

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

class cPciBrdWrapper_sc : public iPciBrdWrapper_sc {
 public:
  // Loads and binds the PCI bridge library; a failure there leaves a usable
  // wrapper whose operations fail with -313008.
  explicit cPciBrdWrapper_sc(JsonStatus& a_rStatus);
  // Closes the session when one is open; the binding then unloads the library.
  ~cPciBrdWrapper_sc() override;
  cPciBrdWrapper_sc(const cPciBrdWrapper_sc&) = delete;
  cPciBrdWrapper_sc& operator=(const cPciBrdWrapper_sc&) = delete;

  void OpenSession(uint32_t a_Flags, JsonStatus& a_rStatus) override;
  int32_t CloseSession() override;
  bool IsSessionOpen() const override;
  void FindBridgesByPciIds(const uint16_t* a_pVid, const uint16_t* a_pPid, const uint16_t* a_pSsVid,
                           const uint16_t* a_pSsPid, std::vector<uint32_t>& a_rBridges,
                           JsonStatus& a_rStatus) override;
  void FindBridgeByAddress(uint8_t a_Bus, uint8_t a_Dev, uint8_t a_Func, uint32_t& a_rBridgeRef,
                           JsonStatus& a_rStatus) override;
  void FindBridgeBySlotPath(const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                            uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) override;
  void FindParentBridgeForBus(uint8_t a_Bus, uint32_t& a_rBridgeRef,
                              JsonStatus& a_rStatus) override;
  void GetBridgeParent(uint32_t a_Child, uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) override;
  void GetBridgeChildren(uint32_t a_Parent, std::vector<uint32_t>& a_rChildren,
                         JsonStatus& a_rStatus) override;
  void GetBusChildren(uint8_t a_Bus, std::vector<uint32_t>& a_rChildren,
                      JsonStatus& a_rStatus) override;
  void GetRootBuses(std::vector<uint32_t>& a_rRootBuses, JsonStatus& a_rStatus) override;
  void GetBridgeAddress(uint32_t a_BridgeRef, uint8_t* a_pBus, uint8_t* a_pDev, uint8_t* a_pFunc,
                        JsonStatus& a_rStatus) override;
  void GetBridgeSlotPath(uint32_t a_BridgeRef, nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                         JsonStatus& a_rStatus) override;
  void GetBridgeIds(uint32_t a_BridgeRef, uint16_t* a_pVid, uint16_t* a_pPid, uint16_t* a_pSsVid,
                    uint16_t* a_pSsPid, JsonStatus& a_rStatus) override;
  void SetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId, uint32_t a_Value,
                       JsonStatus& a_rStatus) override;
  void GetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId, uint32_t& a_rAttributeBuffer,
                       JsonStatus& a_rStatus) override;
  void OpenBridge(uint32_t a_BridgeRef, JsonStatus& a_rStatus) override;
  int32_t CloseBridge(uint32_t a_BridgeRef) override;
  void EepromUpdate(uint32_t a_Bridge, uint16_t a_Vid, uint16_t a_Pid, uint32_t a_AlwaysOverwrite,
                    uint32_t a_UpdateMethod, uint32_t a_ByteCount, const uint8_t* a_pBuffer,
                    JsonStatus& a_rStatus) override;

 private:
  tPciBrdSession m_Session;
  bool m_IsOpen;
  cPciBrdDynLib m_PciBrdDynLib;
};

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
