#include "device/BridgeAttribute.h"

#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

bool clearNotServed(Status& a_rStatus) {
  if (a_rStatus.code != qvstatus::kPciBrdAttrNotServed) return false;
  a_rStatus.clear();
  return true;
}

bool readServedBridgeAttribute(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper,
                               uint32_t a_Bridge, uint32_t a_Attribute, uint32_t& a_rValue,
                               Status& a_rStatus) {
  if (a_rStatus.isFatal()) return false;
  uint32_t l_Value = 0;
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_rWrapper.GetAttributeU32(a_Bridge, a_Attribute, l_Value, l_Scope.json());
  }
  if (clearNotServed(a_rStatus) || a_rStatus.isFatal()) return false;
  a_rValue = l_Value;
  return true;
}

}  // namespace nQVZEL_15_0
