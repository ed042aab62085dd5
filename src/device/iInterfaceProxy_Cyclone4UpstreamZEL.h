// SPDX-License-Identifier: LGPL-2.1-or-later
// iInterfaceProxy_Cyclone4UpstreamZEL: the operations of the Cyclone IV
// upstream link card's driver interface (class
// "nQVZEL_1_0_Cyclone4UpstreamZEL"). Generated-style interface: each operation
// is one driver request.
#pragma once

#include "driver/iInterfaceProxy.h"
#include "status/Status.h"

#include <cstdint>

namespace nQVZEL_15_0 {

class iInterfaceProxy_Cyclone4UpstreamZEL : public virtual nQVKORA000::iInterfaceProxy {
 public:
  // Writes a_Length firmware bytes into the card's flash at a_Offset with the
  // given pin-out; blocks until the driver has finished.
  virtual void updateFirmware(const void* a_pData, uint32_t a_Length, uint32_t a_PinOutAddr,
                              uint32_t a_PinOutVer, uint32_t a_Offset, Status& a_rStatus) = 0;
  // Reads attribute a_AttributeId into a_pBuffer (*a_pSize bytes); *a_pSize
  // then holds the byte count the driver wrote.
  virtual void getAttribute(uint32_t a_AttributeId, void* a_pBuffer, uint32_t* a_pSize,
                            Status& a_rStatus) = 0;
};

}  // namespace nQVZEL_15_0
