// SPDX-License-Identifier: LGPL-2.1-or-later
// What discovery learned about one found device: its PCI address and the
// slot paths it reports (the first one is the device's own).
#pragma once

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
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

// The record of one found device (tInfo: either type above), made in one
// allocation with its count. It takes the slot paths over: a_rSlotPaths is
// left empty.
template <typename tInfo>
boost::shared_ptr<tInfo> makeDeviceInfo(
    uint8_t a_Bus, uint8_t a_Device, uint8_t a_Function,
    std::vector<nQvPxiDriverTools_1_0::cSlotPath>& a_rSlotPaths) {
  boost::shared_ptr<tInfo> l_Info = boost::make_shared<tInfo>();
  l_Info->m_Bus = a_Bus;
  l_Info->m_Device = a_Device;
  l_Info->m_Function = a_Function;
  l_Info->m_SlotPaths.swap(a_rSlotPaths);
  return l_Info;
}

}  // namespace nQVZEL_15_0
