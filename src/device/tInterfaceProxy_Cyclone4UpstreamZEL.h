// tInterfaceProxy_Cyclone4UpstreamZEL: the register proxy of the Cyclone IV
// upstream link card. It sends each operation as one driver request with
// fixed request code and fixed input and output records through the generic
// device interface proxy; its only state is that proxy's file descriptor.
#pragma once

#include "device/iInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driver/tDeviceInterfaceProxy.h"

#include <cstddef>
#include <cstdint>

namespace nQVZEL_15_0 {

// Driver request records, host byte order. Pads are never interpreted.
struct sGetAttributeInput {
  uint32_t m_AttributeId;
  uint32_t m_Pad;
  uint64_t m_BufferAddress;
  uint32_t m_BufferSize;
  int32_t m_CallerStatus;  // 0 or a warning the caller already holds
};
struct sGetAttributeOutput {
  uint32_t m_ByteCount;  // bytes the driver wrote into the value buffer
  int32_t m_Status;
};
struct sUpdateFirmwareInput {
  uint64_t m_DataAddress;
  uint32_t m_Length;
  uint32_t m_PinOutAddr;
  uint32_t m_PinOutVer;
  uint32_t m_Offset;
  int32_t m_CallerStatus;
  uint32_t m_Pad;
};
struct sUpdateFirmwareOutput {
  int32_t m_Status;
};

static_assert(sizeof(sGetAttributeInput) == 24, "getAttribute input is 24 bytes");
static_assert(offsetof(sGetAttributeInput, m_BufferAddress) == 8, "getAttribute input layout");
static_assert(offsetof(sGetAttributeInput, m_BufferSize) == 16, "getAttribute input layout");
static_assert(offsetof(sGetAttributeInput, m_CallerStatus) == 20, "getAttribute input layout");
static_assert(sizeof(sGetAttributeOutput) == 8, "getAttribute output is 8 bytes");
static_assert(offsetof(sGetAttributeOutput, m_Status) == 4, "getAttribute output layout");
static_assert(sizeof(sUpdateFirmwareInput) == 32, "updateFirmware input is 32 bytes");
static_assert(offsetof(sUpdateFirmwareInput, m_Length) == 8, "updateFirmware input layout");
static_assert(offsetof(sUpdateFirmwareInput, m_PinOutAddr) == 12, "updateFirmware input layout");
static_assert(offsetof(sUpdateFirmwareInput, m_PinOutVer) == 16, "updateFirmware input layout");
static_assert(offsetof(sUpdateFirmwareInput, m_Offset) == 20, "updateFirmware input layout");
static_assert(offsetof(sUpdateFirmwareInput, m_CallerStatus) == 24, "updateFirmware input layout");
static_assert(sizeof(sUpdateFirmwareOutput) == 4, "updateFirmware output is 4 bytes");

class tInterfaceProxy_Cyclone4UpstreamZEL : public iInterfaceProxy_Cyclone4UpstreamZEL,
                                            public nQVKORA000::tDeviceInterfaceProxy {
 public:
  // Request codes: direction 0, type 0, size field 32 (the request descriptor).
  static constexpr uint32_t kUpdateFirmwareRequest = 0x0020003C;
  static constexpr uint32_t kGetAttributeRequest = 0x0020003D;

  tInterfaceProxy_Cyclone4UpstreamZEL() {}
  ~tInterfaceProxy_Cyclone4UpstreamZEL() override;

  void updateFirmware(const void* a_pData, uint32_t a_Length, uint32_t a_PinOutAddr,
                      uint32_t a_PinOutVer, uint32_t a_Offset, Status& a_rStatus) override;
  void getAttribute(uint32_t a_AttributeId, void* a_pBuffer, uint32_t* a_pSize,
                    Status& a_rStatus) override;
};

}  // namespace nQVZEL_15_0
