// cSessionManager: the process-wide owner of every list handed out. It keeps
// the registry of open lists, turns handles back into objects and serialises
// every finder call with one recursive, priority-inheriting mutex.
#pragma once

#include "finder/Discovery.h"
#include "status/Status.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace nQVZEL_15_0 {

class cUpstreamZelDevice;

// One open list and the PCI bridge session it was found with.
struct sRegistryEntry {
  boost::shared_ptr<tDeviceList> list;
  boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc> pciBridges;
};

class cSessionManager {
 public:
  // The operations behind the exported functions. Each locks the manager
  // mutex for its whole duration.
  static void openList(void** a_ppList, uint32_t* a_pCount, Status& a_rStatus);
  static void closeList(void* a_pList);
  static void getNthItem(void* a_pList, uint32_t a_Index, void** a_ppItem, Status& a_rStatus);
  static void getU32Attribute(void* a_pItem, uint32_t a_Id, uint32_t* a_pValue,
                              Status& a_rStatus);
  static void getStringAttribute(void* a_pItem, uint32_t a_Id, const char** a_ppValue,
                                 Status& a_rStatus);
  static void getControllerIDSELMap(void* a_pItem, const uint8_t** a_ppMap, Status& a_rStatus);
  static void openDevice(void* a_pItem, Status& a_rStatus);
  static void closeDevice(void* a_pItem);
  static void updateFirmware(void* a_pItem, const void* a_pImage, uint32_t a_Length,
                             uint32_t a_Force, Status& a_rStatus);

  // Number of lists opened and not yet closed; 0 means no manager exists.
  static int32_t openListCount();

 private:
  cSessionManager() = default;
  ~cSessionManager() = default;

  // The device whose address is the handle, from any open list; null with
  // -52005 when no open list holds it.
  boost::shared_ptr<iZelDevice> findItem(void* a_pItem, Status& a_rStatus) const;
  // The device of an item operation, looked up under the lock: null (and
  // -52005) without a manager or for an unknown handle.
  static boost::shared_ptr<iZelDevice> lookUp(void* a_pItem, Status& a_rStatus);

  static void destroy();

  std::vector<sRegistryEntry> m_Registry;
};

}  // namespace nQVZEL_15_0
