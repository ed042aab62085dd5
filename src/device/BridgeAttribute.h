// SPDX-License-Identifier: LGPL-2.1-or-later
// Bridge attributes the PCI bridge library may not serve. A conventional PCI
// bridge has no value for some of them, and a user who may read only the
// start of a bridge's configuration space gets none for any bridge; the
// library then answers -313004. Such a value is noted as missing: it never
// costs a device its place in the list.
#pragma once

#include <cstdint>

#include "pcibridge/iPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

// Folds the outcome of one bridge read into a_rStatus, except the answer
// "attribute not served", which is dropped: it costs nothing, not even a
// warning a_rStatus held before. True when that answer was dropped.
bool mergeUnlessNotServed(const Status& a_rRead, Status& a_rStatus);

// Reads one attribute of a bridge under a_rStatus. True when a_rValue now
// holds it. False when a_rStatus failed, on entry or in the read, or when the
// library does not serve the attribute; that answer is cleared from
// a_rStatus. a_rValue is written only with a value read.
bool readServedBridgeAttribute(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper,
                               uint32_t a_Bridge, uint32_t a_Attribute, uint32_t& a_rValue,
                               Status& a_rStatus);

}  // namespace nQVZEL_15_0
