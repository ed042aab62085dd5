// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"

#include <cstring>

namespace nQVZEL_15_0 {

tInterfaceProxy_Cyclone4UpstreamZEL::~tInterfaceProxy_Cyclone4UpstreamZEL() {
  tDeviceInterfaceProxy::close();
}

void tInterfaceProxy_Cyclone4UpstreamZEL::updateFirmware(const void* a_pData, uint32_t a_Length,
                                                         uint32_t a_PinOutAddr,
                                                         uint32_t a_PinOutVer, uint32_t a_Offset,
                                                         Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  sUpdateFirmwareInput l_Input;
  std::memset(&l_Input, 0, sizeof(l_Input));
  l_Input.data_address = reinterpret_cast<uintptr_t>(a_pData);
  l_Input.length = a_Length;
  l_Input.pinout_address = a_PinOutAddr;
  l_Input.pinout_version = a_PinOutVer;
  l_Input.flash_offset = a_Offset;
  l_Input.caller_status = a_rStatus.result();
  sUpdateFirmwareOutput l_Output = {0};

  Status l_RequestStatus;
  request(kUpdateFirmwareRequest, &l_Input, sizeof(l_Input), &l_Output, sizeof(l_Output),
          l_RequestStatus);
  if (l_RequestStatus.isFatal()) {
    a_rStatus.merge(l_RequestStatus);
    return;
  }
  QVZ_SET_STATUS(a_rStatus, l_Output.status);
}

void tInterfaceProxy_Cyclone4UpstreamZEL::getAttribute(uint32_t a_AttributeId, void* a_pBuffer,
                                                       uint32_t* a_pSize, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pSize == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  sGetAttributeInput l_Input;
  std::memset(&l_Input, 0, sizeof(l_Input));
  l_Input.attribute_id = a_AttributeId;
  l_Input.buffer_address = reinterpret_cast<uintptr_t>(a_pBuffer);
  l_Input.buffer_size = *a_pSize;
  l_Input.caller_status = a_rStatus.result();
  sGetAttributeOutput l_Output = {0, 0};

  Status l_RequestStatus;
  request(kGetAttributeRequest, &l_Input, sizeof(l_Input), &l_Output, sizeof(l_Output),
          l_RequestStatus);
  if (l_RequestStatus.isFatal()) {
    a_rStatus.merge(l_RequestStatus);
    return;
  }
  *a_pSize = l_Output.byte_count;
  QVZ_SET_STATUS(a_rStatus, l_Output.status);
  // A driver claiming more bytes than the buffer holds must not be believed:
  // a caller trusting *a_pSize would read past its buffer.
  if (l_Output.byte_count > l_Input.buffer_size) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kBufferTooSmall);
  }
}

}  // namespace nQVZEL_15_0
