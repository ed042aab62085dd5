// SPDX-License-Identifier: LGPL-2.1-or-later
#include "pcibridge/cPciBrdDynLib.h"

#include <algorithm>
#include <boost/checked_delete.hpp>
#include <boost/shared_ptr.hpp>
#include <cstring>

#include "config/cSlotPath.h"
#include "platform/qvdynlib.h"
#include "status/Status.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

namespace {

constexpr const char* kLibraryName = "libqvpcibrd.so.1";

// Longest slot-path text accepted from the component: a path through every
// possible bus level is well under this.
constexpr uint32_t kMaxSlotPathSize = 4096;

// The exported names, indexed by slot.
constexpr const char* kEntryPointNames[] = {
#define QVZ_PCIBRD_NAME(a_Name) "QvPciBrd_" #a_Name,
    QVPCIBRD_ENTRY_POINTS(QVZ_PCIBRD_NAME)
#undef QVZ_PCIBRD_NAME
};
static_assert(sizeof(kEntryPointNames) / sizeof(kEntryPointNames[0]) == kPciBrdEntryPointCount,
              "one name per slot");

// What a method answers when its entry point is missing: the two close
// calls have nothing to undo, every other call reports the component missing.
constexpr int32_t unboundAnswer(ePciBrdEntryPoint a_Slot) {
  return a_Slot == ePciBrdEntryPoint::kCloseSession || a_Slot == ePciBrdEntryPoint::kCloseBridge
             ? qvstatus::kSuccess
             : qvstatus::kPciBrdUnavailable;
}

}  // namespace

cPciBrdDynLib::cPciBrdDynLib(JsonStatus& a_rStatus) : m_pHandle(nullptr), m_EntryPoints() {
  if (a_rStatus.isFatal()) return;
  m_pHandle = qvdynlib_load(kLibraryName, kQvDynLibFlags, a_rStatus);
  // After the first failure the status is negative and the remaining
  // look-ups return null without trying, so only that name is reported.
  for (size_t l_Slot = 0; l_Slot < kPciBrdEntryPointCount; ++l_Slot) {
    m_EntryPoints[l_Slot] = reinterpret_cast<tAnyEntryPoint>(
        qvdynlib_getSymbol(m_pHandle, kEntryPointNames[l_Slot], a_rStatus));
  }
  const bool l_AnyMissing =
      std::find(m_EntryPoints.begin(), m_EntryPoints.end(), nullptr) != m_EntryPoints.end();
  if (a_rStatus.isNotFatal() && l_AnyMissing) {
    a_rStatus.setCodeAt(qvstatus::kPciBrdUnavailable, QVZ_ERROR_SITE(nullptr));
  }
}

cPciBrdDynLib::~cPciBrdDynLib() {
  if (m_pHandle) qvdynlib_unload(m_pHandle);
}

template <ePciBrdEntryPoint a_Slot>
typename sPciBrdEntryPoint<a_Slot>::tPointer cPciBrdDynLib::entryPoint() const {
  // Back to the type the address was looked up for.
  return reinterpret_cast<typename sPciBrdEntryPoint<a_Slot>::tPointer>(
      m_EntryPoints[static_cast<size_t>(a_Slot)]);
}

template <ePciBrdEntryPoint a_Slot, typename... tArgs>
int32_t cPciBrdDynLib::call(tArgs... a_Args) const {
  const auto l_pEntryPoint = entryPoint<a_Slot>();
  return l_pEntryPoint ? l_pEntryPoint(a_Args...) : unboundAnswer(a_Slot);
}

int32_t cPciBrdDynLib::OpenSession(uint32_t a_Flags, tPciBrdSession* a_pSession) {
  return call<ePciBrdEntryPoint::kOpenSession>(a_Flags, a_pSession);
}

int32_t cPciBrdDynLib::CloseSession(tPciBrdSession a_Session) {
  return call<ePciBrdEntryPoint::kCloseSession>(a_Session);
}

int32_t cPciBrdDynLib::FindBridgesByPciIds(tPciBrdSession a_Session, const uint16_t* a_pVid,
                                           const uint16_t* a_pPid, const uint16_t* a_pSsVid,
                                           const uint16_t* a_pSsPid, tPciBrdBridgeRef* a_pBridges,
                                           uint32_t* a_pCount) {
  return call<ePciBrdEntryPoint::kFindBridgesByPciIds>(a_Session, a_pVid, a_pPid, a_pSsVid,
                                                       a_pSsPid, a_pBridges, a_pCount);
}

int32_t cPciBrdDynLib::FindBridgeByAddress(tPciBrdSession a_Session, uint8_t a_Bus, uint8_t a_Dev,
                                           uint8_t a_Func, tPciBrdBridgeRef* a_pBridgeRef) {
  return call<ePciBrdEntryPoint::kFindBridgeByAddress>(a_Session, a_Bus, a_Dev, a_Func,
                                                       a_pBridgeRef);
}

int32_t cPciBrdDynLib::FindBridgeBySlotPath(tPciBrdSession a_Session,
                                            const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                            tPciBrdBridgeRef* a_pBridgeRef) {
  const auto l_pFindBridgeBySlotPath = entryPoint<ePciBrdEntryPoint::kFindBridgeBySlotPath>();
  if (!l_pFindBridgeBySlotPath) return unboundAnswer(ePciBrdEntryPoint::kFindBridgeBySlotPath);
  Status l_Status;
  nQvPxiDriverTools_1_0::cCharBuffer l_Text;
  a_rSlotPath.GetText(l_Text, l_Status);
  if (l_Status.isFatal()) return l_Status.result();
  return l_pFindBridgeBySlotPath(a_Session, l_Text.GetText(), a_pBridgeRef);
}

int32_t cPciBrdDynLib::FindParentBridgeForBus(tPciBrdSession a_Session, uint8_t a_Bus,
                                              tPciBrdBridgeRef* a_pBridgeRef) {
  return call<ePciBrdEntryPoint::kFindParentBridgeForBus>(a_Session, a_Bus, a_pBridgeRef);
}

int32_t cPciBrdDynLib::GetBridgeParent(tPciBrdSession a_Session, tPciBrdBridgeRef a_Child,
                                       tPciBrdBridgeRef* a_pBridgeRef) {
  return call<ePciBrdEntryPoint::kGetBridgeParent>(a_Session, a_Child, a_pBridgeRef);
}

int32_t cPciBrdDynLib::GetBridgeChildren(tPciBrdSession a_Session, tPciBrdBridgeRef a_Parent,
                                         tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  return call<ePciBrdEntryPoint::kGetBridgeChildren>(a_Session, a_Parent, a_pChildren, a_pCount);
}

int32_t cPciBrdDynLib::GetBusChildren(tPciBrdSession a_Session, uint8_t a_Bus,
                                      tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  return call<ePciBrdEntryPoint::kGetBusChildren>(a_Session, a_Bus, a_pChildren, a_pCount);
}

int32_t cPciBrdDynLib::GetRootBuses(tPciBrdSession a_Session, uint32_t* a_pBuses,
                                    uint32_t* a_pCount) {
  return call<ePciBrdEntryPoint::kGetRootBuses>(a_Session, a_pBuses, a_pCount);
}

int32_t cPciBrdDynLib::GetBridgeAddress(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                        uint8_t* a_pBus, uint8_t* a_pDev, uint8_t* a_pFunc) {
  return call<ePciBrdEntryPoint::kGetBridgeAddress>(a_Session, a_BridgeRef, a_pBus, a_pDev,
                                                    a_pFunc);
}

int32_t cPciBrdDynLib::GetBridgeSlotPath(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                         nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath) {
  const auto l_pGetBridgeSlotPath = entryPoint<ePciBrdEntryPoint::kGetBridgeSlotPath>();
  if (!l_pGetBridgeSlotPath) return unboundAnswer(ePciBrdEntryPoint::kGetBridgeSlotPath);
  uint32_t l_Size = 0;
  int32_t l_Result = l_pGetBridgeSlotPath(a_Session, a_BridgeRef, nullptr, &l_Size);
  if (l_Result != qvstatus::kPciBrdBufferTooSmall) return l_Result;
  // A size that cannot hold even the terminating NUL, or one no slot path
  // needs, is a broken answer; nothing is allocated for it.
  if (l_Size == 0 || l_Size > kMaxSlotPathSize) return qvstatus::kInternal;
  boost::shared_ptr<char> l_pBuffer(new char[l_Size](), boost::checked_array_deleter<char>());
  uint32_t l_FillSize = l_Size;
  l_Result = l_pGetBridgeSlotPath(a_Session, a_BridgeRef, l_pBuffer.get(), &l_FillSize);
  if (l_Result < 0) return l_Result;
  // The text must end inside the buffer it was given.
  if (!std::memchr(l_pBuffer.get(), '\0', l_Size)) return qvstatus::kInternal;
  Status l_Status;
  a_rSlotPath.SetFromText(l_pBuffer.get(), l_Status);
  return l_Status.result();
}

int32_t cPciBrdDynLib::GetBridgeIds(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                    uint16_t* a_pVid, uint16_t* a_pPid, uint16_t* a_pSsVid,
                                    uint16_t* a_pSsPid) {
  return call<ePciBrdEntryPoint::kGetBridgeIds>(a_Session, a_BridgeRef, a_pVid, a_pPid, a_pSsVid,
                                                a_pSsPid);
}

int32_t cPciBrdDynLib::SetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                       uint32_t a_AttributeId, uint32_t a_Value) {
  return call<ePciBrdEntryPoint::kSetAttributeU32>(a_Session, a_BridgeRef, a_AttributeId, a_Value);
}

int32_t cPciBrdDynLib::GetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                       uint32_t a_AttributeId, uint32_t* a_pValue) {
  return call<ePciBrdEntryPoint::kGetAttributeU32>(a_Session, a_BridgeRef, a_AttributeId, a_pValue);
}

int32_t cPciBrdDynLib::OpenBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef) {
  return call<ePciBrdEntryPoint::kOpenBridge>(a_Session, a_BridgeRef);
}

int32_t cPciBrdDynLib::CloseBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef) {
  return call<ePciBrdEntryPoint::kCloseBridge>(a_Session, a_BridgeRef);
}

int32_t cPciBrdDynLib::EepromUpdate(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                    uint16_t a_Vid, uint16_t a_Pid, uint32_t a_AlwaysOverwrite,
                                    uint32_t a_UpdateMethod, uint32_t a_ByteCount,
                                    const uint8_t* a_pBuffer) {
  return call<ePciBrdEntryPoint::kEepromUpdate>(
      a_Session, a_Bridge, a_Vid, a_Pid, a_AlwaysOverwrite, a_UpdateMethod, a_ByteCount, a_pBuffer);
}

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
