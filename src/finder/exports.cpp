// SPDX-License-Identifier: LGPL-2.1-or-later
// The nine exported functions: each checks its output pointers, creates a
// fresh Status and hands everything to the session manager. No exception
// leaves the library.
#include "finder/cSessionManager.h"
#include "qvzelif.h"

#include <new>

using nQVZEL_15_0::cSessionManager;

namespace {

// Runs one manager operation; an exception that reaches this level becomes a
// status code instead of unwinding into the caller's C code.
template <typename tOperation>
int32_t guarded(Status& a_rStatus, tOperation a_Operation) {
  try {
    a_Operation();
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  } catch (...) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  }
  return a_rStatus.result();
}

template <typename tOperation>
void guardedNoStatus(tOperation a_Operation) {
  try {
    a_Operation();
  } catch (...) {
    // The close functions report nothing.
  }
}

}  // namespace

extern "C" {

int32_t nQVPXIFINDER100_openList(uint32_t* count, void** list) {
  if (count == nullptr || list == nullptr) return qvstatus::kInvalidParameter;
  Status l_Status;
  void* l_pList = nullptr;
  uint32_t l_Count = 0;
  guarded(l_Status, [&] { cSessionManager::openList(&l_pList, &l_Count, l_Status); });
  // A failed opening writes neither output and leaves every open list alone.
  if (l_Status.isFatal()) return l_Status.result();
  if (l_Count == 0) {
    // A list that found nothing is closed again at once.
    guardedNoStatus([&] { cSessionManager::closeList(l_pList); });
    l_pList = nullptr;
  }
  *count = l_Count;
  *list = l_pList;
  return l_Status.result();
}

int32_t nQVPXIFINDER100_closeList(void* list) {
  guardedNoStatus([&] { cSessionManager::closeList(list); });
  return qvstatus::kSuccess;
}

int32_t nQVPXIFINDER100_getNthItem(void* list, uint32_t index, void** item) {
  if (item == nullptr) return qvstatus::kInvalidParameter;
  Status l_Status;
  return guarded(l_Status, [&] { cSessionManager::getNthItem(list, index, item, l_Status); });
}

int32_t nQVPXIFINDER100_getU32Attribute(void* item, uint32_t attributeId, uint32_t* value) {
  if (value == nullptr) return qvstatus::kInvalidParameter;
  Status l_Status;
  return guarded(l_Status,
                 [&] { cSessionManager::getU32Attribute(item, attributeId, value, l_Status); });
}

int32_t nQVPXIFINDER100_getStringAttribute(void* item, uint32_t attributeId, const char** value) {
  if (value == nullptr) return qvstatus::kInvalidParameter;
  Status l_Status;
  return guarded(l_Status,
                 [&] { cSessionManager::getStringAttribute(item, attributeId, value, l_Status); });
}

int32_t nQVPXIFINDER100_getControllerIDSELMap(void* item, const uint8_t** map) {
  if (map == nullptr) return qvstatus::kInvalidParameter;
  Status l_Status;
  return guarded(l_Status, [&] { cSessionManager::getControllerIDSELMap(item, map, l_Status); });
}

int32_t nQVPXIKTFINDER100_openDevice(void* item) {
  Status l_Status;
  return guarded(l_Status, [&] { cSessionManager::openDevice(item, l_Status); });
}

int32_t nQVPXIKTFINDER100_closeDevice(void* item) {
  guardedNoStatus([&] { cSessionManager::closeDevice(item); });
  return qvstatus::kSuccess;
}

int32_t nQVPXIKTFINDER100_updateFirmware(void* item, const void* image, uint32_t length,
                                         uint32_t force) {
  Status l_Status;
  return guarded(l_Status, [&] {
    cSessionManager::updateFirmware(item, image, length, force, l_Status);
  });
}

}  // extern "C"
