// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driver/tDeviceInterfaceIterator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "driver/linuxDevEnumHelper.h"
#include "status/Allocation.h"

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

namespace {

// Length of a_pPath without its last two components ("<device>" remains of
// "<device>/deviceInterfaces/<class>\<instance>"); false when it has fewer.
bool deviceDirectoryLength(const char* a_pPath, size_t& a_rLength) {
  size_t l_Length = std::strlen(a_pPath);
  for (int l_Strip = 0; l_Strip < 2; ++l_Strip) {
    while (l_Length > 0 && a_pPath[l_Length - 1] != '/') --l_Length;
    if (l_Length == 0) return false;
    --l_Length;  // drop the slash itself
  }
  a_rLength = l_Length;
  return true;
}

// Reads the file at a_pPath, which snprintf wrote into a buffer of
// kPathBufferSize bytes wanting a_Wanted characters, into a_pBuffer (of
// kReadLimit bytes). A cut path would name some other file: it counts as one
// that is not there.
size_t readFormattedPath(const char* a_pPath, int a_Wanted, char* a_pBuffer, Status& a_rStatus) {
  if (a_Wanted < 0 || static_cast<size_t>(a_Wanted) >= tDeviceInterfaceIterator::kPathBufferSize) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return 0;
  }
  return linuxDevEnumHelper::readFile(a_pPath, a_pBuffer, a_rStatus);
}

struct sCharArrayDeleter {
  void operator()(char* a_pChars) const { delete[] a_pChars; }
};

}  // namespace

tDeviceInterfaceIterator::tDeviceInterfaceIterator() : m_pCurrent(nullptr), m_HoldsGlob(false) {
  std::memset(&m_Glob, 0, sizeof(m_Glob));
}

tDeviceInterfaceIterator::~tDeviceInterfaceIterator() { endIteration(); }

void tDeviceInterfaceIterator::startIteration(const char* a_pClassName, Status& a_rStatus) {
  endIteration();
  m_pCurrent = nullptr;

  // The pattern holds two backslashes: glob reads them as one literal
  // backslash between class name and instance, then the instance wildcard.
  char l_Pattern[kPathBufferSize];
  std::snprintf(l_Pattern, sizeof(l_Pattern), "/proc/driver/qv/*/deviceInterfaces/%s\\\\*",
                a_pClassName != nullptr ? a_pClassName : "");

  std::memset(&m_Glob, 0, sizeof(m_Glob));
  const int l_Result = ::glob(l_Pattern, GLOB_ONLYDIR, nullptr, &m_Glob);
  m_HoldsGlob = true;
  if (l_Result == 0) {
    m_pCurrent = m_Glob.gl_pathv;
  } else if (l_Result != GLOB_NOMATCH) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  }
}

bool tDeviceInterfaceIterator::atEnd() const {
  return m_pCurrent == nullptr || *m_pCurrent == nullptr;
}

void tDeviceInterfaceIterator::advance() {
  if (!atEnd()) ++m_pCurrent;
}

void tDeviceInterfaceIterator::endIteration() {
  if (m_HoldsGlob) ::globfree(&m_Glob);
  std::memset(&m_Glob, 0, sizeof(m_Glob));
  m_HoldsGlob = false;
  m_pCurrent = nullptr;
}

const char* tDeviceInterfaceIterator::currentPath() const {
  return atEnd() ? nullptr : *m_pCurrent;
}

std::string tDeviceInterfaceIterator::currentDeviceDirectory() const {
  size_t l_Length = 0;
  if (atEnd() || !deviceDirectoryLength(*m_pCurrent, l_Length)) return std::string();
  return std::string(*m_pCurrent, l_Length);
}

void tDeviceInterfaceIterator::readBusProperty(const char* a_pName, void* a_pDestination,
                                               size_t a_Capacity, size_t* a_pCount,
                                               Status& a_rStatus) {
  readProperty("busProperties", a_pName, a_pDestination, a_Capacity, a_pCount, a_rStatus);
}

void tDeviceInterfaceIterator::readDeviceProperty(const char* a_pName, void* a_pDestination,
                                                  size_t a_Capacity, size_t* a_pCount,
                                                  Status& a_rStatus) {
  readProperty("deviceProperties", a_pName, a_pDestination, a_Capacity, a_pCount, a_rStatus);
}

uint32_t tDeviceInterfaceIterator::readBusU32(const char* a_pName, Status& a_rStatus) {
  uint32_t l_Value = 0;
  size_t l_Count = 0;
  readBusProperty(a_pName, &l_Value, sizeof(l_Value), &l_Count, a_rStatus);
  return l_Value;
}

std::string tDeviceInterfaceIterator::readSerialNumber(Status& a_rStatus) {
  if (a_rStatus.isFatal()) return std::string();
  size_t l_Size = 0;
  {
    Status l_Probe;
    readDeviceProperty(kSerialNumber, nullptr, 0, &l_Size, l_Probe);
    if (l_Probe.code != qvstatus::kBufferTooSmall || l_Size == 0) return std::string();
  }
  std::unique_ptr<char, sCharArrayDeleter> l_Buffer(
      static_cast<char*>(allocateArray(l_Size, a_rStatus)));
  if (a_rStatus.isFatal()) return std::string();
  size_t l_Read = 0;
  readDeviceProperty(kSerialNumber, l_Buffer.get(), l_Size, &l_Read, a_rStatus);
  if (a_rStatus.isFatal()) return std::string();
  // The property may have shrunk since the probe; only the bytes read count,
  // and a text without its terminating zero ends with them.
  const size_t l_Valid = std::min(l_Read, l_Size);
  return std::string(l_Buffer.get(), strnlen(l_Buffer.get(), l_Valid));
}

void tDeviceInterfaceIterator::readIdentity(sEntryIdentity& a_rIdentity, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  a_rIdentity = sEntryIdentity();
  a_rIdentity.m_DeviceDirectory = currentDeviceDirectory();
  a_rIdentity.m_Bus = readBusU32(kPciBusNumber, a_rStatus);
  a_rIdentity.m_Device = readBusU32(kPciDeviceNumber, a_rStatus);
  a_rIdentity.m_Function = readBusU32(kPciFunctionNumber, a_rStatus);
  if (a_rStatus.isFatal()) return;
  Status l_Domain;
  a_rIdentity.m_Domain = readBusU32(kPciDomainNumber, l_Domain);
  if (l_Domain.code == qvstatus::kNotFound) {
    a_rIdentity.m_Domain = 0;
  } else {
    a_rStatus.merge(l_Domain);
    a_rIdentity.m_HasDomain = true;
  }
  a_rIdentity.m_SerialNumber = readSerialNumber(a_rStatus);
}

void tDeviceInterfaceIterator::readProperty(const char* a_pGroup, const char* a_pName,
                                            void* a_pDestination, size_t a_Capacity,
                                            size_t* a_pCount, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  size_t l_DeviceLength = 0;
  if (atEnd() || a_pName == nullptr || !deviceDirectoryLength(*m_pCurrent, l_DeviceLength)) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return;
  }

  char l_Path[kPathBufferSize];
  const int l_Wanted =
      std::snprintf(l_Path, sizeof(l_Path), "%.*s/%s/%s", static_cast<int>(l_DeviceLength),
                    *m_pCurrent, a_pGroup, a_pName);
  char l_Buffer[linuxDevEnumHelper::kReadLimit];
  const size_t l_Count = readFormattedPath(l_Path, l_Wanted, l_Buffer, a_rStatus);
  if (a_rStatus.isFatal()) return;

  if (a_pCount != nullptr) *a_pCount = l_Count;
  if (l_Count <= a_Capacity && a_pDestination != nullptr) {
    std::memcpy(a_pDestination, l_Buffer, l_Count);
  } else {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kBufferTooSmall);
  }
}

void tDeviceInterfaceIterator::readInterfacePath(sInterfacePath* a_pOut, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (atEnd()) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return;
  }

  char l_Path[kPathBufferSize];
  const int l_Wanted = std::snprintf(l_Path, sizeof(l_Path), "%s/interfacePath", *m_pCurrent);
  char l_Buffer[linuxDevEnumHelper::kReadLimit];
  const size_t l_Count = readFormattedPath(l_Path, l_Wanted, l_Buffer, a_rStatus);
  if (a_rStatus.isFatal()) return;

  if (l_Count > sInterfacePath::kMaxPathLength || a_pOut == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kBufferTooSmall);
    return;
  }
  std::memcpy(a_pOut->m_Path, l_Buffer, l_Count);
  if (a_rStatus.isNotFatal()) {
    a_pOut->m_Path[l_Count] = '\0';
    a_pOut->m_Length = l_Count + 1;
  }
}

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
