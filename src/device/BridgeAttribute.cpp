// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/BridgeAttribute.h"

#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

bool mergeUnlessNotServed(const Status& a_rRead, Status& a_rStatus) {
  if (a_rRead.code == qvstatus::kPciBrdAttrNotServed) return true;
  a_rStatus.merge(a_rRead);
  return false;
}

bool readServedBridgeAttribute(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper,
                               uint32_t a_Bridge, uint32_t a_Attribute, uint32_t& a_rValue,
                               Status& a_rStatus) {
  if (a_rStatus.isFatal()) return false;
  uint32_t l_Value = 0;
  Status l_Read;
  {
    JsonStatusScope l_Scope(l_Read);
    a_rWrapper.GetAttributeU32(a_Bridge, a_Attribute, l_Value, l_Scope.json());
  }
  if (mergeUnlessNotServed(l_Read, a_rStatus) || a_rStatus.isFatal()) return false;
  a_rValue = l_Value;
  return true;
}

}  // namespace nQVZEL_15_0
