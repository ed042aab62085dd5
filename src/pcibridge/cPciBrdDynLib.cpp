#include "pcibridge/cPciBrdDynLib.h"

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

template <typename tEntryPoint>
void bind(void* a_pHandle, const char* a_pName, tEntryPoint& a_rEntryPoint, JsonStatus& a_rStatus) {
  a_rEntryPoint = reinterpret_cast<tEntryPoint>(qvdynlib_getSymbol(a_pHandle, a_pName, a_rStatus));
}

}  // namespace

cPciBrdDynLib::cPciBrdDynLib(JsonStatus& a_rStatus)
    : m_pHandle(nullptr),
      m_pOpenSession(nullptr),
      m_pCloseSession(nullptr),
      m_pFindBridgesByPciIds(nullptr),
      m_pFindBridgeByAddress(nullptr),
      m_pFindBridgeBySlotPath(nullptr),
      m_pFindParentBridgeForBus(nullptr),
      m_pGetBridgeParent(nullptr),
      m_pGetBridgeChildren(nullptr),
      m_pGetBusChildren(nullptr),
      m_pGetRootBuses(nullptr),
      m_pGetBridgeAddress(nullptr),
      m_pGetBridgeSlotPath(nullptr),
      m_pGetBridgeIds(nullptr),
      m_pSetAttributeU32(nullptr),
      m_pGetAttributeU32(nullptr),
      m_pOpenBridge(nullptr),
      m_pCloseBridge(nullptr),
      m_pEepromUpdate(nullptr) {
  if (a_rStatus.isFatal()) return;
  m_pHandle = qvdynlib_load(kLibraryName, kQvDynLibFlags, a_rStatus);
  // After the first failure the status is negative and the remaining
  // look-ups return null without trying, so only that name is reported.
  bind(m_pHandle, "QvPciBrd_OpenSession", m_pOpenSession, a_rStatus);
  bind(m_pHandle, "QvPciBrd_CloseSession", m_pCloseSession, a_rStatus);
  bind(m_pHandle, "QvPciBrd_FindBridgesByPciIds", m_pFindBridgesByPciIds, a_rStatus);
  bind(m_pHandle, "QvPciBrd_FindBridgeByAddress", m_pFindBridgeByAddress, a_rStatus);
  bind(m_pHandle, "QvPciBrd_FindBridgeBySlotPath", m_pFindBridgeBySlotPath, a_rStatus);
  bind(m_pHandle, "QvPciBrd_FindParentBridgeForBus", m_pFindParentBridgeForBus, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBridgeParent", m_pGetBridgeParent, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBridgeChildren", m_pGetBridgeChildren, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBusChildren", m_pGetBusChildren, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetRootBuses", m_pGetRootBuses, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBridgeAddress", m_pGetBridgeAddress, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBridgeSlotPath", m_pGetBridgeSlotPath, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetBridgeIds", m_pGetBridgeIds, a_rStatus);
  bind(m_pHandle, "QvPciBrd_SetAttributeU32", m_pSetAttributeU32, a_rStatus);
  bind(m_pHandle, "QvPciBrd_GetAttributeU32", m_pGetAttributeU32, a_rStatus);
  bind(m_pHandle, "QvPciBrd_OpenBridge", m_pOpenBridge, a_rStatus);
  bind(m_pHandle, "QvPciBrd_CloseBridge", m_pCloseBridge, a_rStatus);
  bind(m_pHandle, "QvPciBrd_EepromUpdate", m_pEepromUpdate, a_rStatus);

  const bool l_AnyMissing =
      !m_pOpenSession || !m_pCloseSession || !m_pFindBridgesByPciIds || !m_pFindBridgeByAddress ||
      !m_pFindBridgeBySlotPath || !m_pFindParentBridgeForBus || !m_pGetBridgeParent ||
      !m_pGetBridgeChildren || !m_pGetBusChildren || !m_pGetRootBuses || !m_pGetBridgeAddress ||
      !m_pGetBridgeSlotPath || !m_pGetBridgeIds || !m_pSetAttributeU32 || !m_pGetAttributeU32 ||
      !m_pOpenBridge || !m_pCloseBridge || !m_pEepromUpdate;
  if (a_rStatus.isNotFatal() && l_AnyMissing) {
    a_rStatus.setCodeAt(qvstatus::kPciBrdUnavailable, QVZ_ERROR_SITE(nullptr));
  }
}

cPciBrdDynLib::~cPciBrdDynLib() {
  if (m_pHandle) qvdynlib_unload(m_pHandle);
}

int32_t cPciBrdDynLib::OpenSession(uint32_t a_Flags, tPciBrdSession* a_pSession) {
  if (!m_pOpenSession) return qvstatus::kPciBrdUnavailable;
  return m_pOpenSession(a_Flags, a_pSession);
}

int32_t cPciBrdDynLib::CloseSession(tPciBrdSession a_Session) {
  if (!m_pCloseSession) return qvstatus::kSuccess;
  return m_pCloseSession(a_Session);
}

int32_t cPciBrdDynLib::FindBridgesByPciIds(tPciBrdSession a_Session, const uint16_t* a_pVid,
                                           const uint16_t* a_pPid, const uint16_t* a_pSsVid,
                                           const uint16_t* a_pSsPid, tPciBrdBridgeRef* a_pBridges,
                                           uint32_t* a_pCount) {
  if (!m_pFindBridgesByPciIds) return qvstatus::kPciBrdUnavailable;
  return m_pFindBridgesByPciIds(a_Session, a_pVid, a_pPid, a_pSsVid, a_pSsPid, a_pBridges,
                                a_pCount);
}

int32_t cPciBrdDynLib::FindBridgeByAddress(tPciBrdSession a_Session, uint8_t a_Bus, uint8_t a_Dev,
                                           uint8_t a_Func, tPciBrdBridgeRef* a_pBridgeRef) {
  if (!m_pFindBridgeByAddress) return qvstatus::kPciBrdUnavailable;
  return m_pFindBridgeByAddress(a_Session, a_Bus, a_Dev, a_Func, a_pBridgeRef);
}

int32_t cPciBrdDynLib::FindBridgeBySlotPath(tPciBrdSession a_Session,
                                            const nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath,
                                            tPciBrdBridgeRef* a_pBridgeRef) {
  if (!m_pFindBridgeBySlotPath) return qvstatus::kPciBrdUnavailable;
  Status l_Status;
  nQvPxiDriverTools_1_0::cCharBuffer l_Text;
  a_rSlotPath.GetText(l_Text, l_Status);
  if (l_Status.isFatal()) return l_Status.result();
  return m_pFindBridgeBySlotPath(a_Session, l_Text.GetText(), a_pBridgeRef);
}

int32_t cPciBrdDynLib::FindParentBridgeForBus(tPciBrdSession a_Session, uint8_t a_Bus,
                                              tPciBrdBridgeRef* a_pBridgeRef) {
  if (!m_pFindParentBridgeForBus) return qvstatus::kPciBrdUnavailable;
  return m_pFindParentBridgeForBus(a_Session, a_Bus, a_pBridgeRef);
}

int32_t cPciBrdDynLib::GetBridgeParent(tPciBrdSession a_Session, tPciBrdBridgeRef a_Child,
                                       tPciBrdBridgeRef* a_pBridgeRef) {
  if (!m_pGetBridgeParent) return qvstatus::kPciBrdUnavailable;
  return m_pGetBridgeParent(a_Session, a_Child, a_pBridgeRef);
}

int32_t cPciBrdDynLib::GetBridgeChildren(tPciBrdSession a_Session, tPciBrdBridgeRef a_Parent,
                                         tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  if (!m_pGetBridgeChildren) return qvstatus::kPciBrdUnavailable;
  return m_pGetBridgeChildren(a_Session, a_Parent, a_pChildren, a_pCount);
}

int32_t cPciBrdDynLib::GetBusChildren(tPciBrdSession a_Session, uint8_t a_Bus,
                                      tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  if (!m_pGetBusChildren) return qvstatus::kPciBrdUnavailable;
  return m_pGetBusChildren(a_Session, a_Bus, a_pChildren, a_pCount);
}

int32_t cPciBrdDynLib::GetRootBuses(tPciBrdSession a_Session, uint32_t* a_pBuses,
                                    uint32_t* a_pCount) {
  if (!m_pGetRootBuses) return qvstatus::kPciBrdUnavailable;
  return m_pGetRootBuses(a_Session, a_pBuses, a_pCount);
}

int32_t cPciBrdDynLib::GetBridgeAddress(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                        uint8_t* a_pBus, uint8_t* a_pDev, uint8_t* a_pFunc) {
  if (!m_pGetBridgeAddress) return qvstatus::kPciBrdUnavailable;
  return m_pGetBridgeAddress(a_Session, a_BridgeRef, a_pBus, a_pDev, a_pFunc);
}

int32_t cPciBrdDynLib::GetBridgeSlotPath(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                         nQvPxiDriverTools_1_0::cSlotPath& a_rSlotPath) {
  if (!m_pGetBridgeSlotPath) return qvstatus::kPciBrdUnavailable;
  uint32_t l_Size = 0;
  int32_t l_Result = m_pGetBridgeSlotPath(a_Session, a_BridgeRef, nullptr, &l_Size);
  if (l_Result != qvstatus::kPciBrdBufferTooSmall) return l_Result;
  // A size that cannot hold even the terminating NUL, or one no slot path
  // needs, is a broken answer; nothing is allocated for it.
  if (l_Size == 0 || l_Size > kMaxSlotPathSize) return qvstatus::kInternal;
  boost::shared_ptr<char> l_pBuffer(new char[l_Size](), boost::checked_array_deleter<char>());
  uint32_t l_FillSize = l_Size;
  l_Result = m_pGetBridgeSlotPath(a_Session, a_BridgeRef, l_pBuffer.get(), &l_FillSize);
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
  if (!m_pGetBridgeIds) return qvstatus::kPciBrdUnavailable;
  return m_pGetBridgeIds(a_Session, a_BridgeRef, a_pVid, a_pPid, a_pSsVid, a_pSsPid);
}

int32_t cPciBrdDynLib::SetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                       uint32_t a_AttributeId, uint32_t a_Value) {
  if (!m_pSetAttributeU32) return qvstatus::kPciBrdUnavailable;
  return m_pSetAttributeU32(a_Session, a_BridgeRef, a_AttributeId, a_Value);
}

int32_t cPciBrdDynLib::GetAttributeU32(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef,
                                       uint32_t a_AttributeId, uint32_t* a_pValue) {
  if (!m_pGetAttributeU32) return qvstatus::kPciBrdUnavailable;
  return m_pGetAttributeU32(a_Session, a_BridgeRef, a_AttributeId, a_pValue);
}

int32_t cPciBrdDynLib::OpenBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef) {
  if (!m_pOpenBridge) return qvstatus::kPciBrdUnavailable;
  return m_pOpenBridge(a_Session, a_BridgeRef);
}

int32_t cPciBrdDynLib::CloseBridge(tPciBrdSession a_Session, tPciBrdBridgeRef a_BridgeRef) {
  if (!m_pCloseBridge) return qvstatus::kSuccess;
  return m_pCloseBridge(a_Session, a_BridgeRef);
}

int32_t cPciBrdDynLib::EepromUpdate(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                    uint16_t a_Vid, uint16_t a_Pid, uint32_t a_AlwaysOverwrite,
                                    uint32_t a_UpdateMethod, uint32_t a_ByteCount,
                                    const uint8_t* a_pBuffer) {
  if (!m_pEepromUpdate) return qvstatus::kPciBrdUnavailable;
  return m_pEepromUpdate(a_Session, a_Bridge, a_Vid, a_Pid, a_AlwaysOverwrite, a_UpdateMethod,
                         a_ByteCount, a_pBuffer);
}

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
