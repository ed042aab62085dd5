// SPDX-License-Identifier: LGPL-2.1-or-later
#include "pcibridge/cPciBrdWrapper_sc.h"

#include <utility>

#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

namespace {

// More entries than a PCI hierarchy can hold (every function of every
// device on every bus): a count beyond it is a broken answer, and no
// vector is allocated for it.
constexpr uint32_t kMaxListEntries = 256 * 32 * 8;

// Records a non-zero result (error or warning) of the component.
void record(int32_t a_Result, const ErrorSite& a_rSite, JsonStatus& a_rStatus) {
  if (a_Result != qvstatus::kSuccess) a_rStatus.setCodeAt(a_Result, a_rSite);
}

// Count-then-fill: ask for the count with a null array; when the component
// answers -313002, forget that answer, call again with an array of that
// many entries and, unless that fails, hand the entries out.
template <typename tCall>
void fillList(tCall a_Call, const ErrorSite& a_rFirstCall, const ErrorSite& a_rSecondCall,
              std::vector<uint32_t>& a_rList, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  uint32_t l_Count = 0;
  record(a_Call(nullptr, &l_Count), a_rFirstCall, a_rStatus);
  if (a_rStatus.code != qvstatus::kPciBrdBufferTooSmall) return;
  a_rStatus.code = qvstatus::kSuccess;
  a_rStatus.setText("{}");
  if (l_Count > kMaxListEntries) {
    a_rStatus.setCodeAt(qvstatus::kOverflow, a_rFirstCall);
    return;
  }
  std::vector<uint32_t> l_Entries(l_Count, 0);
  const uint32_t l_Reported = l_Count;
  // "Too small" for no entries at all: the list is empty, there is nothing to fill.
  if (l_Reported > 0) record(a_Call(&l_Entries[0], &l_Count), a_rSecondCall, a_rStatus);
  if (a_rStatus.isFatal()) return;
  // More entries than the array held were written or are claimed: the list
  // would be cut short, so it is refused.
  if (l_Count > l_Reported) {
    a_rStatus.setCodeAt(qvstatus::kOverflow, a_rSecondCall);
    return;
  }
  a_rList = std::move(l_Entries);
}

}  // namespace

cPciBrdWrapper_sc::cPciBrdWrapper_sc(JsonStatus& a_rStatus)
    : m_Session(kNoSession), m_IsOpen(false), m_PciBrdDynLib(a_rStatus) {}

cPciBrdWrapper_sc::~cPciBrdWrapper_sc() {
  if (m_IsOpen) CloseSession();
}

void cPciBrdWrapper_sc::OpenSession(uint32_t a_Flags, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (m_IsOpen) CloseSession();
  record(m_PciBrdDynLib.OpenSession(a_Flags, &m_Session),
         QVZ_ERROR_SITE("m_PciBrdDynLib.OpenSession( a_Flags, &m_Session )"), a_rStatus);
  if (a_rStatus.isNotFatal()) m_IsOpen = true;
}

int32_t cPciBrdWrapper_sc::CloseSession() {
  const int32_t l_Result = m_PciBrdDynLib.CloseSession(m_Session);
  m_Session = kNoSession;
  m_IsOpen = false;
  return l_Result;
}

bool cPciBrdWrapper_sc::IsSessionOpen() const { return m_IsOpen; }

void cPciBrdWrapper_sc::FindBridgesByPciIds(const uint16_t* a_pVid, const uint16_t* a_pPid,
                                            const uint16_t* a_pSsVid, const uint16_t* a_pSsPid,
                                            std::vector<uint32_t>& a_rBridges,
                                            JsonStatus& a_rStatus) {
  fillList(
      [&](uint32_t* a_pArray, uint32_t* a_pCount) {
        return m_PciBrdDynLib.FindBridgesByPciIds(m_Session, a_pVid, a_pPid, a_pSsVid, a_pSsPid,
                                                  a_pArray, a_pCount);
      },
      QVZ_ERROR_SITE("m_PciBrdDynLib.FindBridgesByPciIds( m_Session, a_pVid, a_pPid, a_pSsVid, "
                     "a_pSsPid, __null, &l_BridgeCount )"),
      QVZ_ERROR_SITE("m_PciBrdDynLib.FindBridgesByPciIds( m_Session, a_pVid, a_pPid, a_pSsVid, "
                     "a_pSsPid, &l_Bridges[0], &l_BridgeCount )"),
      a_rBridges, a_rStatus);
}

void cPciBrdWrapper_sc::FindBridgeByAddress(uint8_t a_Bus, uint8_t a_Dev, uint8_t a_Func,
                                            uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.FindBridgeByAddress(m_Session, a_Bus, a_Dev, a_Func, &a_rBridgeRef),
         QVZ_ERROR_SITE("m_PciBrdDynLib.FindBridgeByAddress( m_Session, a_Bus, a_Dev, a_Func, "
                        "&a_rBridgeRef )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::FindBridgeBySlotPath(const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                             uint32_t& a_rBridgeRef, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.FindBridgeBySlotPath(m_Session, a_rSlotPath, &a_rBridgeRef),
         QVZ_ERROR_SITE("m_PciBrdDynLib.FindBridgeBySlotPath( m_Session, a_rSlotPath, "
                        "&a_rBridgeRef )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::FindParentBridgeForBus(uint8_t a_Bus, uint32_t& a_rBridgeRef,
                                               JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.FindParentBridgeForBus(m_Session, a_Bus, &a_rBridgeRef),
         QVZ_ERROR_SITE("m_PciBrdDynLib.FindParentBridgeForBus( m_Session, a_Bus, &a_rBridgeRef )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::GetBridgeParent(uint32_t a_Child, uint32_t& a_rBridgeRef,
                                        JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.GetBridgeParent(m_Session, a_Child, &a_rBridgeRef),
         QVZ_ERROR_SITE("m_PciBrdDynLib.GetBridgeParent( m_Session, a_Child, &a_rBridgeRef )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::GetBridgeChildren(uint32_t a_Parent, std::vector<uint32_t>& a_rChildren,
                                          JsonStatus& a_rStatus) {
  fillList(
      [&](uint32_t* a_pArray, uint32_t* a_pCount) {
        return m_PciBrdDynLib.GetBridgeChildren(m_Session, a_Parent, a_pArray, a_pCount);
      },
      QVZ_ERROR_SITE(
          "m_PciBrdDynLib.GetBridgeChildren( m_Session, a_Parent, __null, &l_ChildrenCount )"),
      QVZ_ERROR_SITE("m_PciBrdDynLib.GetBridgeChildren( m_Session, a_Parent, &l_Child[0], "
                     "&l_ChildrenCount )"),
      a_rChildren, a_rStatus);
}

void cPciBrdWrapper_sc::GetBusChildren(uint8_t a_Bus, std::vector<uint32_t>& a_rChildren,
                                       JsonStatus& a_rStatus) {
  fillList(
      [&](uint32_t* a_pArray, uint32_t* a_pCount) {
        return m_PciBrdDynLib.GetBusChildren(m_Session, a_Bus, a_pArray, a_pCount);
      },
      QVZ_ERROR_SITE("m_PciBrdDynLib.GetBusChildren( m_Session, a_Bus, __null, &l_ChildrenCount )"),
      QVZ_ERROR_SITE(
          "m_PciBrdDynLib.GetBusChildren( m_Session, a_Bus, &l_Child[0], &l_ChildrenCount )"),
      a_rChildren, a_rStatus);
}

void cPciBrdWrapper_sc::GetRootBuses(std::vector<uint32_t>& a_rRootBuses, JsonStatus& a_rStatus) {
  fillList(
      [&](uint32_t* a_pArray, uint32_t* a_pCount) {
        return m_PciBrdDynLib.GetRootBuses(m_Session, a_pArray, a_pCount);
      },
      QVZ_ERROR_SITE("m_PciBrdDynLib.GetRootBuses( m_Session, __null, &l_RootBusCount )"),
      QVZ_ERROR_SITE("m_PciBrdDynLib.GetRootBuses( m_Session, &l_RootBuses[0], &l_RootBusCount )"),
      a_rRootBuses, a_rStatus);
}

void cPciBrdWrapper_sc::GetBridgeAddress(uint32_t a_BridgeRef, uint8_t* a_pBus, uint8_t* a_pDev,
                                         uint8_t* a_pFunc, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.GetBridgeAddress(m_Session, a_BridgeRef, a_pBus, a_pDev, a_pFunc),
         QVZ_ERROR_SITE("m_PciBrdDynLib.GetBridgeAddress( m_Session, a_BridgeRef, a_pBus, a_pDev, "
                        "a_pFunc )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::GetBridgeSlotPath(uint32_t a_BridgeRef,
                                          nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                          JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.GetBridgeSlotPath(m_Session, a_BridgeRef, a_rSlotPath),
         QVZ_ERROR_SITE("m_PciBrdDynLib.GetBridgeSlotPath( m_Session, a_BridgeRef, a_rSlotPath )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::GetBridgeIds(uint32_t a_BridgeRef, uint16_t* a_pVid, uint16_t* a_pPid,
                                     uint16_t* a_pSsVid, uint16_t* a_pSsPid,
                                     JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.GetBridgeIds(m_Session, a_BridgeRef, a_pVid, a_pPid, a_pSsVid, a_pSsPid),
         QVZ_ERROR_SITE("m_PciBrdDynLib.GetBridgeIds( m_Session, a_BridgeRef, a_pVid, a_pPid, "
                        "a_pSsVid, a_pSsPid )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::SetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId,
                                        uint32_t a_Value, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.SetAttributeU32(m_Session, a_BridgeRef, a_AttributeId, a_Value),
         QVZ_ERROR_SITE("m_PciBrdDynLib.SetAttributeU32( m_Session, a_BridgeRef, a_AttributeId, "
                        "a_Value )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::GetAttributeU32(uint32_t a_BridgeRef, uint32_t a_AttributeId,
                                        uint32_t& a_rAttributeBuffer, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.GetAttributeU32(m_Session, a_BridgeRef, a_AttributeId, &a_rAttributeBuffer),
         QVZ_ERROR_SITE("m_PciBrdDynLib.GetAttributeU32( m_Session, a_BridgeRef, a_AttributeId, "
                        "&a_rAttributeBuffer )"),
         a_rStatus);
}

void cPciBrdWrapper_sc::OpenBridge(uint32_t a_BridgeRef, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.OpenBridge(m_Session, a_BridgeRef),
         QVZ_ERROR_SITE("m_PciBrdDynLib.OpenBridge( m_Session, a_BridgeRef )"), a_rStatus);
}

int32_t cPciBrdWrapper_sc::CloseBridge(uint32_t a_BridgeRef) {
  return m_PciBrdDynLib.CloseBridge(m_Session, a_BridgeRef);
}

void cPciBrdWrapper_sc::EepromUpdate(uint32_t a_Bridge, uint16_t a_Vid, uint16_t a_Pid,
                                     uint32_t a_AlwaysOverwrite, uint32_t a_UpdateMethod,
                                     uint32_t a_ByteCount, const uint8_t* a_pBuffer,
                                     JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  record(m_PciBrdDynLib.EepromUpdate(m_Session, a_Bridge, a_Vid, a_Pid, a_AlwaysOverwrite,
                                     a_UpdateMethod, a_ByteCount, a_pBuffer),
         QVZ_ERROR_SITE("m_PciBrdDynLib.EepromUpdate( m_Session, a_Bridge, a_Vid, a_Pid, "
                        "a_AlwaysOverwrite, a_UpdateMethod, a_ByteCount, a_pBuffer )"),
         a_rStatus);
}

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
