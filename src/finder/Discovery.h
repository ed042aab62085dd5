// SPDX-License-Identifier: LGPL-2.1-or-later
// Device discovery: the body of every list opening. Walks the model table,
// finds the devices each row describes through the PCI bridge library or the
// kernel driver's device interfaces, and adds the controllers named in the
// controller description file.
#pragma once

#include <boost/shared_ptr.hpp>
#include <vector>

#include "device/iZelDevice.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

typedef std::vector<boost::shared_ptr<iZelDevice>> tDeviceList;

// Creates a new device list and a new PCI bridge wrapper with an open
// session, and fills the list in discovery order. Failures of single
// candidates are dropped; only failures that concern the whole list (the
// bridge library cannot be loaded or opened, memory) reach a_rStatus. Both
// outputs are set whenever creating them succeeded, even on failure.
void discover(boost::shared_ptr<tDeviceList>& a_rList,
              boost::shared_ptr<nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc>& a_rWrapper,
              Status& a_rStatus);

}  // namespace nQVZEL_15_0
