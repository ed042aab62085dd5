// SPDX-License-Identifier: LGPL-2.1-or-later
// What discovery learned about one found device: its PCI address and the
// slot paths it reports (the first one is the device's own).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/cSlotPath.h"
#include "driver/sEntryIdentity.h"

namespace nQVZEL_15_0 {

struct sCommonDeviceInfo {
  uint8_t m_Bus = 0;
  uint8_t m_Device = 0;
  uint8_t m_Function = 0;
  // In discovery order; the first element is the slot path the device reports.
  std::vector<nQvPxiDriverTools_1_0::cSlotPath> m_SlotPaths;
};

// A device found through the kernel driver's device interfaces: adds what
// identifies its entry, the serial number included. Shared pointers made from
// this type (boost::make_shared) destroy it whole even when held as the base.
struct sDeviceInterfaceIteratorInfo : sCommonDeviceInfo {
  nQVKORA000::sEntryIdentity m_Entry;
};

}  // namespace nQVZEL_15_0
