// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/cSessionManager.h"

#include <time.h>

#include <boost/pointer_cast.hpp>
#include <new>

#include "device/cPxi1ZelControllerDevice.h"
#include "device/cUpstreamZelDevice.h"
#include "finder/ManagerLock.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Allocation.h"

namespace nQVZEL_15_0 {
namespace {

static_assert(sizeof(void*) >= sizeof(tHandle), "a handle travels as a pointer");

// Handles are tokens, not addresses: a handle of a closed list must never
// name the objects of a later list, whatever the allocator reuses. Every
// handle has bit 63 set above a count; on x86-64 no such value is an address
// (user space has bits 47 to 63 clear, the kernel all of them set), so a
// handle can neither be confused with a pointer nor be dereferenced.
constexpr tHandle kHandleTag = tHandle(1) << 63;

// Read and written only under the manager mutex.
cSessionManager* g_pManager = nullptr;
int32_t g_OpenLists = 0;
// The count of the last handle issued; it outlives every manager, so no
// handle is issued twice while the library is loaded.
tHandle g_LastCount = 0;

// The next handle. Its count never falls below the monotonic clock's
// nanoseconds: should the library be unloaded and loaded again in the same
// process, its counter starts afresh above every count the earlier instance
// issued, since that one ran ahead of the clock by no more than the few
// handles of one list.
tHandle issueHandle() {
  tHandle l_Count = g_LastCount + 1;
  struct timespec l_Now;
  if (clock_gettime(CLOCK_MONOTONIC, &l_Now) == 0) {
    const tHandle l_Clock =
        static_cast<tHandle>(l_Now.tv_sec) * 1000000000u + static_cast<tHandle>(l_Now.tv_nsec);
    if (l_Clock > l_Count) l_Count = l_Clock;
  }
  g_LastCount = l_Count;
  return kHandleTag | l_Count;
}

void* toPointer(tHandle a_Handle) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(a_Handle));
}

tHandle fromPointer(const void* a_pHandle) {
  return static_cast<tHandle>(reinterpret_cast<uintptr_t>(a_pHandle));
}

}  // namespace

void cSessionManager::destroy() {
  if (g_pManager == nullptr) return;
  // Releasing the entries in registry order releases each list's devices
  // before its bridge session.
  g_pManager->m_Items.clear();
  for (auto& l_rEntry : g_pManager->m_Registry) {
    l_rEntry.second.list.reset();
    l_rEntry.second.pciBridges.reset();
  }
  g_pManager->~cSessionManager();
  ::operator delete(g_pManager, std::nothrow);
  g_pManager = nullptr;
}

tHandle cSessionManager::registerList(
    const boost::shared_ptr<tDeviceList>& a_rList,
    const boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc>& a_rWrapper) {
  sRegistryEntry l_Entry{a_rList, a_rWrapper, std::vector<tHandle>()};
  l_Entry.itemHandles.reserve(a_rList->size());
  for (size_t l_Index = 0; l_Index < a_rList->size(); ++l_Index) {
    l_Entry.itemHandles.push_back(issueHandle());
  }
  const tHandle l_ListHandle = issueHandle();
  const auto l_Registered = m_Registry.emplace(l_ListHandle, l_Entry).first;
  size_t l_Added = 0;
  try {
    for (; l_Added < l_Entry.itemHandles.size(); ++l_Added) {
      m_Items.emplace(l_Entry.itemHandles[l_Added], (*a_rList)[l_Added]);
    }
  } catch (const std::bad_alloc&) {
    while (l_Added > 0) m_Items.erase(l_Entry.itemHandles[--l_Added]);
    m_Registry.erase(l_Registered);
    throw;
  }
  return l_ListHandle;
}

void cSessionManager::openList(void** a_ppList, uint32_t* a_pCount, Status& a_rStatus) {
  a_rStatus.merge(managerSetupStatus());
  if (a_rStatus.isFatal()) return;

  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  if (g_OpenLists == 0) {
    destroy();
    void* l_pMemory = allocateObject(sizeof(cSessionManager), a_rStatus);
    if (l_pMemory != nullptr) g_pManager = new (l_pMemory) cSessionManager();
    if (a_rStatus.isFatal()) {
      destroy();
      return;
    }
  }
  if (g_pManager == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return;
  }

  boost::shared_ptr<tDeviceList> l_List;
  boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc> l_Wrapper;
  try {
    discover(l_List, l_Wrapper, a_rStatus);
    if (a_rStatus.isNotFatal() && !l_List) QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    if (a_rStatus.isNotFatal()) {
      *a_ppList = toPointer(g_pManager->registerList(l_List, l_Wrapper));
      *a_pCount = static_cast<uint32_t>(l_List->size());
    }
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }

  if (a_rStatus.isNotFatal()) {
    ++g_OpenLists;
  } else if (g_OpenLists == 0) {
    destroy();
  }
}

void cSessionManager::closeList(void* a_pList) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded() || g_pManager == nullptr || a_pList == nullptr) return;
  const auto l_Entry = g_pManager->m_Registry.find(fromPointer(a_pList));
  if (l_Entry == g_pManager->m_Registry.end()) return;
  for (tHandle l_Item : l_Entry->second.itemHandles) g_pManager->m_Items.erase(l_Item);
  g_pManager->m_Registry.erase(l_Entry);
  --g_OpenLists;
  if (g_OpenLists <= 0) {
    g_OpenLists = 0;
    destroy();
  }
}

void cSessionManager::getNthItem(void* a_pList, uint32_t a_Index, void** a_ppItem,
                                 Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  if (g_pManager != nullptr && a_pList != nullptr) {
    const auto l_Entry = g_pManager->m_Registry.find(fromPointer(a_pList));
    if (l_Entry != g_pManager->m_Registry.end() && a_Index < l_Entry->second.itemHandles.size()) {
      *a_ppItem = toPointer(l_Entry->second.itemHandles[a_Index]);
      return;
    }
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
}

boost::shared_ptr<iZelDevice> cSessionManager::findItem(void* a_pItem, Status& a_rStatus) const {
  if (a_rStatus.isFatal()) return boost::shared_ptr<iZelDevice>();
  if (a_pItem != nullptr) {
    const auto l_Item = m_Items.find(fromPointer(a_pItem));
    if (l_Item != m_Items.end()) return l_Item->second;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
  return boost::shared_ptr<iZelDevice>();
}

template <typename tDevice>
boost::shared_ptr<tDevice> cSessionManager::lookUp(void* a_pItem, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return boost::shared_ptr<tDevice>();
  if (g_pManager == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return boost::shared_ptr<tDevice>();
  }
  // The kind is checked on the device found, never on the caller's pointer.
  boost::shared_ptr<tDevice> l_Device =
      boost::dynamic_pointer_cast<tDevice>(g_pManager->findItem(a_pItem, a_rStatus));
  if (!l_Device && a_rStatus.isNotFatal()) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
  }
  return l_Device;
}

void cSessionManager::getU32Attribute(void* a_pItem, uint32_t a_Id, uint32_t* a_pValue,
                                      Status& a_rStatus) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp<iZelDevice>(a_pItem, a_rStatus);
  if (l_Device) l_Device->getU32Attribute(a_Id, a_pValue, a_rStatus);
}

void cSessionManager::getStringAttribute(void* a_pItem, uint32_t a_Id, const char** a_ppValue,
                                         Status& a_rStatus) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp<iZelDevice>(a_pItem, a_rStatus);
  if (l_Device) l_Device->getStringAttribute(a_Id, a_ppValue, a_rStatus);
}

void cSessionManager::getControllerIDSELMap(void* a_pItem, const uint8_t** a_ppMap,
                                            Status& a_rStatus) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  const boost::shared_ptr<cPxi1ZelControllerDevice> l_Controller =
      lookUp<cPxi1ZelControllerDevice>(a_pItem, a_rStatus);
  if (l_Controller) l_Controller->getIDSELMap(a_ppMap, a_rStatus);
}

void cSessionManager::openDevice(void* a_pItem, Status& a_rStatus) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  const boost::shared_ptr<cUpstreamZelDevice> l_Upstream =
      lookUp<cUpstreamZelDevice>(a_pItem, a_rStatus);
  if (l_Upstream) l_Upstream->openDevice(a_rStatus);
}

void cSessionManager::closeDevice(void* a_pItem) {
  cManagerLock l_Lock;
  if (!l_Lock.guarded()) return;
  // Ignores every handle that is not an upstream link device of an open list.
  Status l_Ignored;
  const boost::shared_ptr<cUpstreamZelDevice> l_Upstream =
      lookUp<cUpstreamZelDevice>(a_pItem, l_Ignored);
  if (l_Upstream) l_Upstream->closeDevice();
}

void cSessionManager::updateFirmware(void* a_pItem, const void* a_pImage, uint32_t a_Length,
                                     uint32_t a_Force, Status& a_rStatus) {
  // The mutex stays held until the device has finished writing.
  cManagerLock l_Lock;
  if (!l_Lock.guarded(a_rStatus)) return;
  const boost::shared_ptr<cUpstreamZelDevice> l_Upstream =
      lookUp<cUpstreamZelDevice>(a_pItem, a_rStatus);
  if (l_Upstream) l_Upstream->updateFirmware(a_pImage, a_Length, a_Force, a_rStatus);
}

void cSessionManager::releaseAll() {
  destroy();
  g_OpenLists = 0;
}

int32_t cSessionManager::openListCount() {
  cManagerLock l_Lock;
  return g_OpenLists;
}

}  // namespace nQVZEL_15_0
