#include "finder/cSessionManager.h"

#include "device/cPxi1ZelControllerDevice.h"
#include "device/cUpstreamZelDevice.h"
#include "finder/ManagerLock.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Allocation.h"

#include <new>

namespace nQVZEL_15_0 {
namespace {

// Read and written only under the manager mutex.
cSessionManager* g_pManager = nullptr;
int32_t g_OpenLists = 0;

}  // namespace

void cSessionManager::destroy() {
  if (g_pManager == nullptr) return;
  // Releasing the entries in registry order releases each list's devices
  // before its bridge session.
  for (sRegistryEntry& l_rEntry : g_pManager->m_Registry) {
    l_rEntry.list.reset();
    l_rEntry.pciBridges.reset();
  }
  g_pManager->~cSessionManager();
  ::operator delete(g_pManager, std::nothrow);
  g_pManager = nullptr;
}

void cSessionManager::openList(void** a_ppList, uint32_t* a_pCount, Status& a_rStatus) {
  a_rStatus.merge(managerSetupStatus());
  if (a_rStatus.isFatal()) return;

  cManagerLock l_Lock;
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
      g_pManager->m_Registry.push_back(sRegistryEntry{l_List, l_Wrapper});
      *a_ppList = l_List.get();
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
  if (g_pManager == nullptr || a_pList == nullptr) return;
  std::vector<sRegistryEntry>& l_rRegistry = g_pManager->m_Registry;
  for (auto l_It = l_rRegistry.begin(); l_It != l_rRegistry.end(); ++l_It) {
    if (l_It->list.get() == a_pList) {
      l_rRegistry.erase(l_It);
      --g_OpenLists;
      if (g_OpenLists <= 0) {
        g_OpenLists = 0;
        destroy();
      }
      return;
    }
  }
}

void cSessionManager::getNthItem(void* a_pList, uint32_t a_Index, void** a_ppItem,
                                 Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  cManagerLock l_Lock;
  if (g_pManager != nullptr && a_pList != nullptr) {
    for (const sRegistryEntry& l_rEntry : g_pManager->m_Registry) {
      if (l_rEntry.list.get() != a_pList) continue;
      if (a_Index < l_rEntry.list->size()) {
        *a_ppItem = (*l_rEntry.list)[a_Index].get();
        return;
      }
      break;
    }
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
}

boost::shared_ptr<iZelDevice> cSessionManager::findItem(void* a_pItem, Status& a_rStatus) const {
  if (a_rStatus.isFatal()) return boost::shared_ptr<iZelDevice>();
  if (a_pItem != nullptr) {
    for (const sRegistryEntry& l_rEntry : m_Registry) {
      // Hold the list while it is walked.
      const boost::shared_ptr<tDeviceList> l_List = l_rEntry.list;
      if (!l_List) continue;
      for (const boost::shared_ptr<iZelDevice>& l_rDevice : *l_List) {
        if (static_cast<void*>(l_rDevice.get()) == a_pItem) return l_rDevice;
      }
    }
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
  return boost::shared_ptr<iZelDevice>();
}

boost::shared_ptr<iZelDevice> cSessionManager::lookUp(void* a_pItem, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return boost::shared_ptr<iZelDevice>();
  if (g_pManager == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return boost::shared_ptr<iZelDevice>();
  }
  return g_pManager->findItem(a_pItem, a_rStatus);
}

void cSessionManager::getU32Attribute(void* a_pItem, uint32_t a_Id, uint32_t* a_pValue,
                                      Status& a_rStatus) {
  cManagerLock l_Lock;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, a_rStatus);
  if (l_Device && a_rStatus.isNotFatal()) l_Device->getU32Attribute(a_Id, a_pValue, a_rStatus);
}

void cSessionManager::getStringAttribute(void* a_pItem, uint32_t a_Id, const char** a_ppValue,
                                         Status& a_rStatus) {
  cManagerLock l_Lock;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, a_rStatus);
  if (l_Device && a_rStatus.isNotFatal()) {
    l_Device->getStringAttribute(a_Id, a_ppValue, a_rStatus);
  }
}

void cSessionManager::getControllerIDSELMap(void* a_pItem, const uint8_t** a_ppMap,
                                            Status& a_rStatus) {
  cManagerLock l_Lock;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, a_rStatus);
  if (!l_Device) return;
  cPxi1ZelControllerDevice* l_pController =
      dynamic_cast<cPxi1ZelControllerDevice*>(l_Device.get());
  if (l_pController == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  if (a_rStatus.isNotFatal()) l_pController->getIDSELMap(a_ppMap, a_rStatus);
}

void cSessionManager::openDevice(void* a_pItem, Status& a_rStatus) {
  cManagerLock l_Lock;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, a_rStatus);
  if (!l_Device) return;
  cUpstreamZelDevice* l_pUpstream = dynamic_cast<cUpstreamZelDevice*>(l_Device.get());
  if (l_pUpstream == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  if (a_rStatus.isNotFatal()) l_pUpstream->openDevice(a_rStatus);
}

void cSessionManager::closeDevice(void* a_pItem) {
  cManagerLock l_Lock;
  // Ignores every handle that is not an upstream link device of an open list.
  Status l_Status;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, l_Status);
  cUpstreamZelDevice* l_pUpstream = dynamic_cast<cUpstreamZelDevice*>(l_Device.get());
  if (l_pUpstream != nullptr) l_pUpstream->closeDevice();
}

void cSessionManager::updateFirmware(void* a_pItem, const void* a_pImage, uint32_t a_Length,
                                     uint32_t a_Force, Status& a_rStatus) {
  // The mutex stays held until the device has finished writing.
  cManagerLock l_Lock;
  const boost::shared_ptr<iZelDevice> l_Device = lookUp(a_pItem, a_rStatus);
  if (!l_Device) return;
  cUpstreamZelDevice* l_pUpstream = dynamic_cast<cUpstreamZelDevice*>(l_Device.get());
  if (l_pUpstream == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  if (a_rStatus.isNotFatal()) l_pUpstream->updateFirmware(a_pImage, a_Length, a_Force, a_rStatus);
}

int32_t cSessionManager::openListCount() {
  cManagerLock l_Lock;
  return g_OpenLists;
}

}  // namespace nQVZEL_15_0
