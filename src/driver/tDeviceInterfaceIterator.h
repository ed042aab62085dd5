// SPDX-License-Identifier: LGPL-2.1-or-later
// tDeviceInterfaceIterator: walks the device interfaces of one interface class
// that the kernel driver publishes under /proc/driver/qv/ and reads the bus and
// device properties of the device owning the current interface.
#pragma once

#include <glob.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/sEntryIdentity.h"
#include "driver/sInterfacePath.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

class tDeviceInterfaceIterator {
 public:
  // Size of the buffers that hold glob patterns and property file paths.
  static constexpr size_t kPathBufferSize = 4096;
  // Bus properties the driver publishes for every device, 4 bytes each.
  static constexpr const char* kPciVendorId = "pciVendorID";
  static constexpr const char* kPciDeviceId = "pciDeviceID";
  static constexpr const char* kPciSubsystemVendorId = "pciSubsystemVendorID";
  static constexpr const char* kPciSubsystemId = "pciSubsystemID";
  static constexpr const char* kPciBusNumber = "pciBusNumber";
  static constexpr const char* kPciDeviceNumber = "pciDeviceNumber";
  static constexpr const char* kPciFunctionNumber = "pciFunctionNumber";
  // Published by drivers that know the PCI domain (segment); optional.
  static constexpr const char* kPciDomainNumber = "pciDomainNumber";
  // Device property holding the serial number text.
  static constexpr const char* kSerialNumber = "serialNumber";

  tDeviceInterfaceIterator();
  // Ends the iteration, so the glob result is freed on every way out.
  ~tDeviceInterfaceIterator();
  tDeviceInterfaceIterator(const tDeviceInterfaceIterator&) = delete;
  tDeviceInterfaceIterator& operator=(const tDeviceInterfaceIterator&) = delete;

  // Finds every interface directory of a_pClassName, in ascending path order.
  // Runs whatever the status holds; no match gives an empty iteration.
  void startIteration(const char* a_pClassName, Status& a_rStatus);
  bool atEnd() const;
  void advance();
  // Frees the glob result; the iterator is then at its end.
  void endIteration();
  // Full path of the current interface directory, null at the end.
  const char* currentPath() const;
  // The directory of the device owning the current entry
  // (/proc/driver/qv/<device>); empty at the end.
  std::string currentDeviceDirectory() const;

  // Reads busProperties/<a_pName> (or deviceProperties/<a_pName>) of the
  // current entry's device. The byte count goes to *a_pCount (when given);
  // the bytes are copied only when they fit a_Capacity and a_pDestination is
  // given, otherwise -52019 is recorded (a size probe).
  void readBusProperty(const char* a_pName, void* a_pDestination, size_t a_Capacity,
                       size_t* a_pCount, Status& a_rStatus);
  void readDeviceProperty(const char* a_pName, void* a_pDestination, size_t a_Capacity,
                          size_t* a_pCount, Status& a_rStatus);
  // One of the 4-byte bus properties above as a number; 0 when it cannot be
  // read, which the status then records.
  uint32_t readBusU32(const char* a_pName, Status& a_rStatus);
  // The serial number text: a size probe, then a read bounded by the size
  // read. A missing or empty property gives the empty text.
  std::string readSerialNumber(Status& a_rStatus);
  // Everything that identifies the current entry's device: its directory,
  // bus, device and function numbers, PCI domain (when published) and serial
  // number. A domain property that is there but cannot be read is a failure.
  void readIdentity(sEntryIdentity& a_rIdentity, Status& a_rStatus);

  // Reads the current entry's interfacePath file: at most 255 bytes, stored
  // with a terminating NUL and its length plus 1.
  void readInterfacePath(sInterfacePath* a_pOut, Status& a_rStatus);

 private:
  void readProperty(const char* a_pGroup, const char* a_pName, void* a_pDestination,
                    size_t a_Capacity, size_t* a_pCount, Status& a_rStatus);

  glob_t m_Glob;
  char** m_pCurrent;
  bool m_HoldsGlob;
};

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
