// SPDX-License-Identifier: LGPL-2.1-or-later
// tInterfaceProxy_Cyclone4UpstreamZEL: the register proxy of the Cyclone IV
// upstream link card. It sends each operation as one driver request with
// fixed request code and fixed input and output records through the generic
// device interface proxy; its only state is that proxy's file descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/iInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driver/tDeviceInterfaceProxy.h"
#include "qvzel_driver.h"

namespace nQVZEL_15_0 {

// Driver request records, host byte order, from the driver ABI header (which
// asserts their sizes and offsets). Pads are never interpreted.
using sGetAttributeInput = ::qvzel_attribute_input;
using sGetAttributeOutput = ::qvzel_attribute_output;
using sUpdateFirmwareInput = ::qvzel_firmware_input;
using sUpdateFirmwareOutput = ::qvzel_firmware_output;

class tInterfaceProxy_Cyclone4UpstreamZEL : public iInterfaceProxy_Cyclone4UpstreamZEL,
                                            public nQVKORA000::tDeviceInterfaceProxy {
 public:
  // Request codes: direction 0, type 0, size field 32 (the request descriptor).
  static constexpr uint32_t kUpdateFirmwareRequest = QVZEL_REQUEST_UPDATE_FIRMWARE;
  static constexpr uint32_t kGetAttributeRequest = QVZEL_REQUEST_GET_ATTRIBUTE;

  tInterfaceProxy_Cyclone4UpstreamZEL() {}
  ~tInterfaceProxy_Cyclone4UpstreamZEL() override;

  void updateFirmware(const void* a_pData, uint32_t a_Length, uint32_t a_PinOutAddr,
                      uint32_t a_PinOutVer, uint32_t a_Offset, Status& a_rStatus) override;
  void getAttribute(uint32_t a_AttributeId, void* a_pBuffer, uint32_t* a_pSize,
                    Status& a_rStatus) override;
};

}  // namespace nQVZEL_15_0
