// SPDX-License-Identifier: LGPL-2.1-or-later
// One reading of the PCI tree that Linux shows under sysfs: every function
// of PCI domain 0 listed in bus/pci/devices, placed by the link of its entry
// (the directory it names under devices/), the buses that class/pci_bus
// places below host bridges and functions, and each function's class.
// Where modalias is missing, the identifier files are read for the functions
// that need them; the secondary bus for the bridges without a bus entry.
// Reading "config" wakes a function that is powered down, so it is left
// alone for functions nobody asked about. Only files that every user may
// read are required; what cannot be read is marked as missing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cSysfsParser.h"

namespace qvpcibrd {

struct sSysfsFunction {
  std::string m_Name;        // "0000:00:1c.0"
  std::string m_Dir;         // its directory under devices/
  std::string m_ParentName;  // the function whose directory holds this one, or empty
  uint8_t m_Bus = 0;
  uint8_t m_Device = 0;
  uint8_t m_Function = 0;
  // The class and identifiers, as far as the flags below say they were read.
  sPciIdentity m_Identity;
  bool m_HasClass = false;
  // Functions in the directory of this one, and the lowest bus they sit on.
  bool m_HasChildren = false;
  uint8_t m_LowestChildBus = 0;
  // The lowest bus that class/pci_bus places in this function's directory
  // (a bridge's own secondary bus; virtual buses of SR-IOV functions below
  // it come after it).
  bool m_HasBusEntry = false;
  uint8_t m_BusEntry = 0;
  // Set by modalias, or by readVendorId and readIds:
  bool m_HasVendorId = false;
  bool m_HasIds = false;
};

class cSysfsSnapshot {
 public:
  std::vector<sSysfsFunction> m_Functions;  // ascending by bus, device, function
  std::vector<uint8_t> m_RootBuses;         // ascending, each once

  // Reads the tree below a_rRoot (normally "/sys"). False with a message
  // only when a_rRoot is not a readable directory; a root without PCI
  // gives an empty snapshot.
  bool read(const std::string& a_rRoot, std::string& a_rError);

  static void readVendorId(sSysfsFunction& a_rFunction);
  static void readIds(sSysfsFunction& a_rFunction);
  // The secondary bus from secondary_bus_number, else from the configuration
  // space (type 1 and 2 headers); false when neither names one.
  static bool readSecondaryBus(const sSysfsFunction& a_rFunction, uint8_t& a_rBus);
};

}  // namespace qvpcibrd
