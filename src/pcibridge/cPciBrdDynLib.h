// SPDX-License-Identifier: LGPL-2.1-or-later
// cPciBrdDynLib: the PCI bridge library loaded at run time, its eighteen
// entry points bound into a table of slots in the order of qvpcibrd.h, one
// method per entry point. A method whose entry point is missing
// answers -313008 (the two close methods 0) instead of calling through a
// null pointer, so the rest of the library runs without the component.
#pragma once

#include <array>
#include <cstdint>

#include "pcibridge/tPciBrdEntryPoints.h"
#include "status/JsonStatus.h"

namespace nQvPxiDriverTools_1_0 {
class cSlotPath;
}

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

class cPciBrdDynLib {
 public:
  // Loads "libqvpcibrd.so.1" and binds its entry points; failures go into
  // a_rStatus and leave a usable object whose methods answer -313008.
  explicit cPciBrdDynLib(JsonStatus& a_rStatus);
  virtual ~cPciBrdDynLib();
  cPciBrdDynLib(const cPciBrdDynLib&) = delete;
  cPciBrdDynLib& operator=(const cPciBrdDynLib&) = delete;

  virtual int32_t OpenSession(uint32_t a_Flags, tPciBrdSession* a_pSession);
  virtual int32_t CloseSession(tPciBrdSession a_Session);
  virtual int32_t FindBridgesByPciIds(tPciBrdSession a_Session, const uint16_t* a_pVid,
                                      const uint16_t* a_pPid, const uint16_t* a_pSsVid,
                                      const uint16_t* a_pSsPid, tPciBrdBridgeRef* a_pBridges,
                                      uint32_t* a_pCount);
  virtual int32_t FindBridgeByAddress(tPciBrdSession a_Session, uint8_t a_Bus, uint8_t a_Dev,
                                      uint8_t a_Func, tPciBrdBridgeRef* a_pBridgeRef);
  // Hands the slot path to the component in its text form.
  virtual int32_t FindBridgeBySlotPath(tPciBrdSession a_Session,
                                       const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                       tPciBrdBridgeRef* a_pBridgeRef);
  virtual int32_t FindParentBridgeForBus(tPciBrdSession a_Session, uint8_t a_Bus,
                                         tPciBrdBridgeRef* a_pBridgeRef);
  virtual int32_t GetBridgeParent(tPciBrdSession a_Session, tPciBrdBridgeRef a_Child,
                                  tPciBrdBridgeRef* a_pBridgeRef);
  virtual int32_t GetBridgeChildren(tPciBrdSession a_Session, tPciBrdBridgeRef a_Parent,
                                    tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount);
  virtual int32_t GetBusChildren(tPciBrdSession a_Session, uint8_t a_Bus,
                                 tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount);
  virtual int32_t GetRootBuses(tPciBrdSession a_Session, uint32_t* a_pBuses, uint32_t* a_pCount);
  virtual int32_t GetBridgeAddress(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                   uint8_t* a_pBus, uint8_t* a_pDev, uint8_t* a_pFunc);
  // Asks for the text's size, then the text, and parses it into a_rSlotPath.
  virtual int32_t GetBridgeSlotPath(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                    nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath);
  virtual int32_t GetBridgeIds(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                               uint16_t* a_pVid, uint16_t* a_pPid, uint16_t* a_pSsVid,
                               uint16_t* a_pSsPid);
  virtual int32_t SetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                  uint32_t a_AttributeId, uint32_t a_Value);
  virtual int32_t GetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                  uint32_t a_AttributeId, uint32_t* a_pValue);
  virtual int32_t OpenBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef);
  virtual int32_t CloseBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef);
  virtual int32_t EepromUpdate(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge, uint16_t a_Vid,
                               uint16_t a_Pid, uint32_t a_AlwaysOverwrite, uint32_t a_UpdateMethod,
                               uint32_t a_ByteCount, const uint8_t* a_pBuffer);

 private:
  // The typed pointer in a_Slot, null when the entry point is missing.
  template <ePciBrdEntryPoint a_Slot>
  typename sPciBrdEntryPoint<a_Slot>::tPointer entryPoint() const;
  // Calls the entry point in a_Slot, or gives the fixed answer of a missing one.
  template <ePciBrdEntryPoint a_Slot, typename... tArgs>
  int32_t call(tArgs... a_Args) const;

  // Any entry point's address; entryPoint() turns it back into its own type.
  typedef void (*tAnyEntryPoint)();

  void* m_pHandle;
  std::array<tAnyEntryPoint, kPciBrdEntryPointCount> m_EntryPoints;
};

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
