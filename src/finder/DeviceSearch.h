// SPDX-License-Identifier: LGPL-2.1-or-later
// The two ways discovery finds the devices of one model row: by PCI
// identifiers through the PCI bridge library, and through the kernel
// driver's device interfaces of the row's interface class.
#pragma once

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "config/cSlotPath.h"
#include "device/sCommonDeviceInfo.h"
#include "device/sModelEntry.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

// One device found for a row: its info record and, when it was found through
// a device interface, the same record as the type that carries the serial
// number read from the driver (null otherwise).
struct sCandidate {
  boost::shared_ptr<sCommonDeviceInfo> m_Info;
  boost::shared_ptr<sDeviceInterfaceIteratorInfo> m_InterfaceInfo;
};

typedef std::vector<sCandidate> tCandidateList;

// Bridges with the row's PCI identifiers, in the order the bridge library
// lists them. The search keeps one status of its own: the first failing
// bridge ends it, and the records collected before it stay.
tCandidateList searchByPciIds(const sModelEntry& a_rRow,
                              nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper);

// Device interfaces of the row's class whose PCI identifiers match, in the
// iteration's order. A failure skips only that interface.
tCandidateList searchByInterfaces(const sModelEntry& a_rRow,
                                  nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper);

// The slot paths a device of the row reports: its own path alone, or the
// paths the row's patterns reach where a bridge exists. None reached records
// invalid parameter.
std::vector<nQvPxiDriverTools_1_0::cSlotPath> buildSlotPathList(
    const nQvPxiDriverTools_1_0::cSlotPath& a_rPath, const sModelEntry& a_rRow,
    nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus);

}  // namespace nQVZEL_15_0
