// SPDX-License-Identifier: LGPL-2.1-or-later
// The eighteen exported entry points: session table, argument checks, the
// count-then-fill and size-then-fill protocols, and injected failures. The
// bridge tree itself comes from the session's backend.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cPciTree.h"
#include "iPciBrdBackend.h"
#include "qvpcibrdSim.h"
#ifndef QVPCIBRD_SYSFS_ONLY
#include "cSimBackend.h"
#endif

using namespace qvpcibrd;

namespace {

struct sSession {
  std::unique_ptr<iPciBrdBackend> m_pBackend;
  cPciTree m_Tree;
};

// The library's state. A process may call exit() while another thread is
// inside an entry point, and exit() runs the destructors of globals: the
// state is therefore made on first use and never destroyed, so a running
// call never meets freed maps or a destroyed mutex.
struct sLibraryState {
  std::mutex m_Mutex;
  std::map<int32_t, sSession> m_Sessions;
  int32_t m_NextSession = 1;
#ifndef QVPCIBRD_SYSFS_ONLY
  // Calls by entry point, for tests; the build for real machines neither
  // counts nor exports the counters.
  std::map<std::string, uint32_t> m_CallCounts;
#endif
};

sLibraryState& state() {
  static sLibraryState& s_rState = *new sLibraryState;
  return s_rState;
}

// An injected result: an error or 0 is answered at once, before anything
// is written; a warning is answered after the call did its work.
struct sInjected {
  bool m_AtOnce;
  int32_t m_Code;
};

// No result injected: the call does its work and answers success.
constexpr sInjected kNothingInjected{false, QVPCIBRD_SUCCESS};

// Holds the library's lock for one entry point call; in the builds for tests
// it also counts the call and looks up the result injected for it.
class cCall {
 public:
  explicit cCall(const char* a_pName) : m_Lock(state().m_Mutex) {
#ifdef QVPCIBRD_SYSFS_ONLY
    static_cast<void>(a_pName);
#else
    m_pName = a_pName;
    ++state().m_CallCounts[a_pName];
#endif
  }
  // The session's tree, or null when the handle names no open session.
  sSession* session(tQvPciBrdSession a_Session) {
    auto l_It = state().m_Sessions.find(a_Session);
    return l_It == state().m_Sessions.end() ? nullptr : &l_It->second;
  }

  // For a call about one bridge: finds its session and the bridge in the
  // session's tree. Answers success, or what the call returns at once: an
  // unknown session, or an unknown reference or other arguments that are
  // not acceptable (a_ArgumentsOk false).
  int32_t findBridge(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                     bool a_ArgumentsOk = true) {
    m_pSession = session(a_Session);
    if (!m_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
    m_Index = m_pSession->m_Tree.findByRef(a_Bridge);
    return m_Index < 0 || !a_ArgumentsOk ? QVPCIBRD_ERR_INVALID_PARAMETER : QVPCIBRD_SUCCESS;
  }
  // After findBridge: the session, its tree, the bridge and its index.
  sSession& found() { return *m_pSession; }
  cPciTree& tree() { return m_pSession->m_Tree; }
  sBridge& bridge() { return m_pSession->m_Tree.m_Bridges[m_Index]; }
  int index() const { return m_Index; }

  // The result injected for this call: about bridge a_Index of a_rTree (-1:
  // about none), or after findBridge about the bridge found; a_pQualifier
  // and the attribute narrow it down. The build for real machines injects
  // nothing (its trees come from sysfs alone) and builds no text per call.
#ifdef QVPCIBRD_SYSFS_ONLY
  sInjected fault(const cPciTree&, int, const char* = "") { return kNothingInjected; }
  sInjected fault(const char* = "") { return kNothingInjected; }
  sInjected attributeFault(uint32_t) { return kNothingInjected; }
#else
  sInjected fault(const cPciTree& a_rTree, int a_Index, const char* a_pQualifier = "") {
    const int32_t* l_pCode = injectedFault(a_rTree, m_pName, a_Index, a_pQualifier);
    if (!l_pCode) return kNothingInjected;
    return sInjected{*l_pCode <= 0, *l_pCode};
  }
  sInjected fault(const char* a_pQualifier = "") {
    return fault(m_pSession->m_Tree, m_Index, a_pQualifier);
  }
  sInjected attributeFault(uint32_t a_AttributeId) {
    return fault(attributeQualifier(a_AttributeId).c_str());
  }
#endif

 private:
  std::lock_guard<std::mutex> m_Lock;
#ifndef QVPCIBRD_SYSFS_ONLY
  const char* m_pName = nullptr;
#endif
  sSession* m_pSession = nullptr;
  int m_Index = -1;
};

// Count-then-fill: a null array (or one too small) gets the count needed;
// an array large enough is filled. An injected warning is returned after a
// successful call, an injected error before anything is written.
int32_t answerList(cCall& a_rCall, const cPciTree& a_rTree, int a_Index,
                   const std::vector<uint32_t>& a_rEntries, uint32_t* a_pArray,
                   uint32_t* a_pCount) {
  if (!a_pCount) return QVPCIBRD_ERR_INVALID_PARAMETER;
  const sInjected l_Fault = a_rCall.fault(a_rTree, a_Index, a_pArray ? "fill" : "count");
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const uint32_t l_Needed = static_cast<uint32_t>(a_rEntries.size());
  if (!a_pArray && a_rTree.m_ListQuirk == eListQuirk::kHugeCount) {
    *a_pCount = UINT32_MAX;
    return QVPCIBRD_ERR_BUFFER_TOO_SMALL;
  }
  if (!a_pArray || *a_pCount < l_Needed) {
    *a_pCount = l_Needed;
    return l_Needed ? QVPCIBRD_ERR_BUFFER_TOO_SMALL : l_Fault.m_Code;
  }
  std::copy(a_rEntries.begin(), a_rEntries.end(), a_pArray);
  *a_pCount = l_Needed + (a_rTree.m_ListQuirk == eListQuirk::kGrowCount ? 1 : 0);
  return l_Fault.m_Code;
}

std::vector<uint32_t> refsWhere(const cPciTree& a_rTree,
                                bool (*a_pTest)(const sBridge&, const void*),
                                const void* a_pContext) {
  std::vector<uint32_t> l_Refs;
  for (const sBridge& l_rBridge : a_rTree.m_Bridges) {
    if (a_pTest(l_rBridge, a_pContext)) l_Refs.push_back(l_rBridge.m_Ref);
  }
  return l_Refs;
}

// A found bridge (or none, -1) with its injected result applied.
int32_t answerLookup(cCall& a_rCall, const cPciTree& a_rTree, int a_Index,
                     tQvPciBrdBridgeRef* a_pBridge) {
  const sInjected l_Fault = a_rCall.fault(a_rTree, a_Index);
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  if (a_Index < 0) return QVPCIBRD_ERR_NOT_FOUND;
  *a_pBridge = a_rTree.m_Bridges[a_Index].m_Ref;
  return l_Fault.m_Code;
}

}  // namespace

extern "C" {

int32_t QvPciBrd_OpenSession(uint32_t /*a_Flags*/, tQvPciBrdSession* a_pSession) {
  cCall l_Call("OpenSession");
  if (!a_pSession) return QVPCIBRD_ERR_INVALID_PARAMETER;
  *a_pSession = QVPCIBRD_NO_SESSION;
  sSession l_Session;
  l_Session.m_pBackend = createBackend();
  const int32_t l_Result = l_Session.m_pBackend->loadTree(l_Session.m_Tree);
  if (l_Result < 0) return l_Result;
  const sInjected l_Fault = l_Call.fault(l_Session.m_Tree, -1);
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  sLibraryState& l_rState = state();
  while (l_rState.m_Sessions.count(l_rState.m_NextSession) || l_rState.m_NextSession <= 0) {
    l_rState.m_NextSession = l_rState.m_NextSession <= 0 ? 1 : l_rState.m_NextSession + 1;
  }
  *a_pSession = l_rState.m_NextSession++;
  l_rState.m_Sessions[*a_pSession] = std::move(l_Session);
  return l_Fault.m_Code ? l_Fault.m_Code : l_Result;
}

int32_t QvPciBrd_CloseSession(tQvPciBrdSession a_Session) {
  cCall l_Call("CloseSession");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  // The session ends even when a failure is injected.
  const sInjected l_Fault = l_Call.fault(l_pSession->m_Tree, -1);
  state().m_Sessions.erase(a_Session);
  return l_Fault.m_Code;
}

int32_t QvPciBrd_FindBridgesByPciIds(tQvPciBrdSession a_Session, const uint16_t* a_pVendorId,
                                     const uint16_t* a_pDeviceId,
                                     const uint16_t* a_pSubsystemVendorId,
                                     const uint16_t* a_pSubsystemId, tQvPciBrdBridgeRef* a_pBridges,
                                     uint32_t* a_pCount) {
  cCall l_Call("FindBridgesByPciIds");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  // A null identifier matches every bridge.
  const uint16_t* l_Ids[4] = {a_pVendorId, a_pDeviceId, a_pSubsystemVendorId, a_pSubsystemId};
  auto l_Matches = [](const sBridge& a_rBridge, const void* a_pContext) {
    const uint16_t* const* l_pIds = static_cast<const uint16_t* const*>(a_pContext);
    const uint16_t l_Have[4] = {a_rBridge.m_VendorId, a_rBridge.m_DeviceId,
                                a_rBridge.m_SubsystemVendorId, a_rBridge.m_SubsystemId};
    for (int l_Index = 0; l_Index < 4; ++l_Index) {
      if (l_pIds[l_Index] && *l_pIds[l_Index] != l_Have[l_Index]) return false;
    }
    return true;
  };
  const cPciTree& l_rTree = l_pSession->m_Tree;
  return answerList(l_Call, l_rTree, -1, refsWhere(l_rTree, l_Matches, l_Ids), a_pBridges,
                    a_pCount);
}

int32_t QvPciBrd_FindBridgeByAddress(tQvPciBrdSession a_Session, uint8_t a_Bus, uint8_t a_Device,
                                     uint8_t a_Function, tQvPciBrdBridgeRef* a_pBridge) {
  cCall l_Call("FindBridgeByAddress");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  if (!a_pBridge) return QVPCIBRD_ERR_INVALID_PARAMETER;
  const cPciTree& l_rTree = l_pSession->m_Tree;
  return answerLookup(l_Call, l_rTree, l_rTree.findByAddress(a_Bus, a_Device, a_Function),
                      a_pBridge);
}

int32_t QvPciBrd_FindBridgeBySlotPath(tQvPciBrdSession a_Session, const char* a_pSlotPath,
                                      tQvPciBrdBridgeRef* a_pBridge) {
  cCall l_Call("FindBridgeBySlotPath");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  if (!a_pSlotPath || !a_pBridge) return QVPCIBRD_ERR_INVALID_PARAMETER;
  const cPciTree& l_rTree = l_pSession->m_Tree;
  const int l_Index = l_rTree.findBySlotPath(a_pSlotPath);
  if (l_Index == -2) return QVPCIBRD_ERR_INVALID_PARAMETER;
  return answerLookup(l_Call, l_rTree, l_Index, a_pBridge);
}

int32_t QvPciBrd_FindParentBridgeForBus(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                        tQvPciBrdBridgeRef* a_pBridge) {
  cCall l_Call("FindParentBridgeForBus");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  if (!a_pBridge) return QVPCIBRD_ERR_INVALID_PARAMETER;
  const cPciTree& l_rTree = l_pSession->m_Tree;
  return answerLookup(l_Call, l_rTree, l_rTree.findParentOfBus(a_Bus), a_pBridge);
}

int32_t QvPciBrd_GetBridgeParent(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Child,
                                 tQvPciBrdBridgeRef* a_pParent) {
  cCall l_Call("GetBridgeParent");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Child, a_pParent != nullptr)) {
    return l_Refused;
  }
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const int l_Parent = l_Call.bridge().m_Parent;
  if (l_Parent < 0) return QVPCIBRD_ERR_NOT_FOUND;
  *a_pParent = l_Call.tree().m_Bridges[l_Parent].m_Ref;
  return l_Fault.m_Code;
}

int32_t QvPciBrd_GetBridgeChildren(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Parent,
                                   tQvPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  cCall l_Call("GetBridgeChildren");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Parent)) return l_Refused;
  const int l_Index = l_Call.index();
  auto l_IsChild = [](const sBridge& a_rBridge, const void* a_pContext) {
    return a_rBridge.m_Parent == *static_cast<const int*>(a_pContext);
  };
  return answerList(l_Call, l_Call.tree(), l_Index, refsWhere(l_Call.tree(), l_IsChild, &l_Index),
                    a_pChildren, a_pCount);
}

int32_t QvPciBrd_GetBusChildren(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                tQvPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount) {
  cCall l_Call("GetBusChildren");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  const cPciTree& l_rTree = l_pSession->m_Tree;
  auto l_OnBus = [](const sBridge& a_rBridge, const void* a_pContext) {
    return a_rBridge.m_Bus == *static_cast<const uint8_t*>(a_pContext);
  };
  return answerList(l_Call, l_rTree, -1, refsWhere(l_rTree, l_OnBus, &a_Bus), a_pChildren,
                    a_pCount);
}

int32_t QvPciBrd_GetRootBuses(tQvPciBrdSession a_Session, uint32_t* a_pBuses, uint32_t* a_pCount) {
  cCall l_Call("GetRootBuses");
  sSession* l_pSession = l_Call.session(a_Session);
  if (!l_pSession) return QVPCIBRD_ERR_INVALID_SESSION;
  const cPciTree& l_rTree = l_pSession->m_Tree;
  const std::vector<uint32_t> l_Buses(l_rTree.m_RootBuses.begin(), l_rTree.m_RootBuses.end());
  return answerList(l_Call, l_rTree, -1, l_Buses, a_pBuses, a_pCount);
}

int32_t QvPciBrd_GetBridgeAddress(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                                  uint8_t* a_pBus, uint8_t* a_pDevice, uint8_t* a_pFunction) {
  cCall l_Call("GetBridgeAddress");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge)) return l_Refused;
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const sBridge& l_rBridge = l_Call.bridge();
  if (a_pBus) *a_pBus = l_rBridge.m_Bus;
  if (a_pDevice) *a_pDevice = l_rBridge.m_Device;
  if (a_pFunction) *a_pFunction = l_rBridge.m_Function;
  return l_Fault.m_Code;
}

int32_t QvPciBrd_GetBridgeSlotPath(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                                   char* a_pBuffer, uint32_t* a_pSize) {
  cCall l_Call("GetBridgeSlotPath");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge, a_pSize != nullptr)) {
    return l_Refused;
  }
  const sInjected l_Fault = l_Call.fault(a_pBuffer ? "fill" : "count");
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const cPciTree& l_rTree = l_Call.tree();
  std::string l_Text = l_rTree.slotPathText(l_Call.index());
  uint32_t l_Needed = static_cast<uint32_t>(l_Text.size()) + 1;
  switch (l_rTree.m_SlotPathQuirk) {
    case eSlotPathQuirk::kZeroSize:
      if (!a_pBuffer) {
        *a_pSize = 0;
        return QVPCIBRD_ERR_BUFFER_TOO_SMALL;
      }
      break;
    case eSlotPathQuirk::kNoNul:
      --l_Needed;  // the text is handed over without its terminating NUL
      break;
    case eSlotPathQuirk::kJunk:
      l_Text = "not a slot path";
      l_Needed = static_cast<uint32_t>(l_Text.size()) + 1;
      break;
    case eSlotPathQuirk::kNone:
      break;
  }
  if (!a_pBuffer || *a_pSize < l_Needed) {
    *a_pSize = l_Needed;
    return QVPCIBRD_ERR_BUFFER_TOO_SMALL;
  }
  std::memcpy(a_pBuffer, l_Text.c_str(), l_Needed);
  *a_pSize = l_Needed;
  return l_Fault.m_Code;
}

#ifndef QVPCIBRD_WITHOUT_GETBRIDGEIDS
int32_t QvPciBrd_GetBridgeIds(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                              uint16_t* a_pVendorId, uint16_t* a_pDeviceId,
                              uint16_t* a_pSubsystemVendorId, uint16_t* a_pSubsystemId) {
  cCall l_Call("GetBridgeIds");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge)) return l_Refused;
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const sBridge& l_rBridge = l_Call.bridge();
  if (a_pVendorId) *a_pVendorId = l_rBridge.m_VendorId;
  if (a_pDeviceId) *a_pDeviceId = l_rBridge.m_DeviceId;
  if (a_pSubsystemVendorId) *a_pSubsystemVendorId = l_rBridge.m_SubsystemVendorId;
  if (a_pSubsystemId) *a_pSubsystemId = l_rBridge.m_SubsystemId;
  return l_Fault.m_Code;
}
#endif

int32_t QvPciBrd_SetAttributeU32(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                                 uint32_t a_AttributeId, uint32_t a_Value) {
  cCall l_Call("SetAttributeU32");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge)) return l_Refused;
  const sInjected l_Fault = l_Call.attributeFault(a_AttributeId);
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const int32_t l_Result = l_Call.found().m_pBackend->writeAttribute(l_Call.tree(), l_Call.index(),
                                                                     a_AttributeId, a_Value);
  return l_Result ? l_Result : l_Fault.m_Code;
}

int32_t QvPciBrd_GetAttributeU32(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                                 uint32_t a_AttributeId, uint32_t* a_pValue) {
  cCall l_Call("GetAttributeU32");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge, a_pValue != nullptr)) {
    return l_Refused;
  }
  const sInjected l_Fault = l_Call.attributeFault(a_AttributeId);
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  const int32_t l_Result = l_Call.found().m_pBackend->readAttribute(l_Call.tree(), l_Call.index(),
                                                                    a_AttributeId, *a_pValue);
  return l_Result ? l_Result : l_Fault.m_Code;
}

int32_t QvPciBrd_OpenBridge(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge) {
  cCall l_Call("OpenBridge");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge)) return l_Refused;
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  l_Call.bridge().m_Open = true;
  return l_Fault.m_Code;
}

int32_t QvPciBrd_CloseBridge(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge) {
  cCall l_Call("CloseBridge");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge)) return l_Refused;
  if (!l_Call.bridge().m_Open) return QVPCIBRD_ERR_INVALID_PARAMETER;
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  l_Call.bridge().m_Open = false;
  return l_Fault.m_Code;
}

#ifndef QVPCIBRD_WITHOUT_EEPROMUPDATE
int32_t QvPciBrd_EepromUpdate(tQvPciBrdSession a_Session, tQvPciBrdBridgeRef a_Bridge,
                              uint16_t a_VendorId, uint16_t a_DeviceId, uint32_t a_AlwaysOverwrite,
                              uint32_t a_UpdateMethod, uint32_t a_ByteCount,
                              const uint8_t* a_pImage) {
  cCall l_Call("EepromUpdate");
  if (const int32_t l_Refused = l_Call.findBridge(a_Session, a_Bridge, a_pImage || !a_ByteCount)) {
    return l_Refused;
  }
  const sInjected l_Fault = l_Call.fault();
  if (l_Fault.m_AtOnce) return l_Fault.m_Code;
  // An image is only written into the bridge it was made for.
  const sBridge& l_rBridge = l_Call.bridge();
  if (a_VendorId != l_rBridge.m_VendorId || a_DeviceId != l_rBridge.m_DeviceId) {
    return QVPCIBRD_ERR_INVALID_PARAMETER;
  }
  const int32_t l_Result = l_Call.found().m_pBackend->updateEeprom(
      l_Call.tree(), l_Call.index(), a_AlwaysOverwrite, a_UpdateMethod, a_pImage, a_ByteCount);
  return l_Result ? l_Result : l_Fault.m_Code;
}
#endif

#ifndef QVPCIBRD_SYSFS_ONLY
uint32_t QvPciBrdSim_GetCallCount(const char* a_pEntryPoint) {
  sLibraryState& l_rState = state();
  std::lock_guard<std::mutex> l_Lock(l_rState.m_Mutex);
  if (!a_pEntryPoint) return 0;
  auto l_It = l_rState.m_CallCounts.find(a_pEntryPoint);
  return l_It == l_rState.m_CallCounts.end() ? 0 : l_It->second;
}

void QvPciBrdSim_ResetCallCounts(void) {
  sLibraryState& l_rState = state();
  std::lock_guard<std::mutex> l_Lock(l_rState.m_Mutex);
  l_rState.m_CallCounts.clear();
}

uint32_t QvPciBrdSim_GetSessionCount(void) {
  sLibraryState& l_rState = state();
  std::lock_guard<std::mutex> l_Lock(l_rState.m_Mutex);
  return static_cast<uint32_t>(l_rState.m_Sessions.size());
}
#endif

}  // extern "C"
