// SPDX-License-Identifier: LGPL-2.1-or-later
// cSessionManager: the process-wide owner of every list handed out. It keeps
// the registry of open lists, turns handles back into objects and serialises
// every finder call with one recursive, priority-inheriting mutex.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "finder/Discovery.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

class cUpstreamZelDevice;

// The value behind a list or item handle: a token issued once in the life of
// the process, never an address (see cSessionManager.cpp).
typedef uint64_t tHandle;

// One open list, the PCI bridge session it was found with, and the item
// handle of each of its devices, in list order.
struct sRegistryEntry {
  boost::shared_ptr<tDeviceList> list;
  boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc> pciBridges;
  std::vector<tHandle> itemHandles;
};

class cSessionManager {
 public:
  // The operations behind the exported functions. Each locks the manager
  // mutex for its whole duration.
  static void openList(void** a_ppList, uint32_t* a_pCount, Status& a_rStatus);
  static void closeList(void* a_pList);
  static void getNthItem(void* a_pList, uint32_t a_Index, void** a_ppItem, Status& a_rStatus);
  static void getU32Attribute(void* a_pItem, uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus);
  static void getStringAttribute(void* a_pItem, uint32_t a_Id, const char** a_ppValue,
                                 Status& a_rStatus);
  static void getControllerIDSELMap(void* a_pItem, const uint8_t** a_ppMap, Status& a_rStatus);
  static void openDevice(void* a_pItem, Status& a_rStatus);
  static void closeDevice(void* a_pItem);
  static void updateFirmware(void* a_pItem, const void* a_pImage, uint32_t a_Length,
                             uint32_t a_Force, Status& a_rStatus);

  // For the library's unloading, with the manager mutex held: releases every
  // open list with its devices (closing their driver files) and bridge
  // sessions, as closing each list would.
  static void releaseAll();

  // Number of lists opened and not yet closed; 0 means no manager exists.
  static int32_t openListCount();

 private:
  cSessionManager() = default;
  ~cSessionManager() = default;

  // Gives the list and each of its devices a new handle and registers them.
  // Throws std::bad_alloc with the registry left as it was.
  tHandle registerList(
      const boost::shared_ptr<tDeviceList>& a_rList,
      const boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc>& a_rWrapper);
  // The device an item handle names, or null with -52005 when no open list
  // holds it.
  boost::shared_ptr<iZelDevice> findItem(void* a_pItem, Status& a_rStatus) const;
  // The device of an item operation, looked up under the lock and required
  // to be a tDevice: null (and -52005) without a manager, for an unknown
  // handle or for a device of another kind.
  template <typename tDevice>
  static boost::shared_ptr<tDevice> lookUp(void* a_pItem, Status& a_rStatus);

  static void destroy();

  // Open lists by list handle; handles grow with every opening, so this is
  // also the order the lists were opened in.
  std::map<tHandle, sRegistryEntry> m_Registry;
  // Every device of an open list by item handle.
  std::unordered_map<tHandle, boost::shared_ptr<iZelDevice>> m_Items;
};

}  // namespace nQVZEL_15_0
