#include "simulatedDriver.h"

#include "callerMemory.h"
#include "driverLog.h"
#include "qvzelif.h"

#include <cerrno>
#include <cstddef>
#include <vector>

namespace nQvDriverSim_1_0 {

namespace {

// The driver's own view of the records it is handed (host byte order).
struct sWireDescriptor {
  uint64_t m_Input;
  uint64_t m_Output;
  uint32_t m_InputSize;
  uint32_t m_OutputSize;
  uint64_t m_BytesReturned;
};
struct sWireAttributeInput {
  uint32_t m_Id;
  uint32_t m_Pad;
  uint64_t m_Buffer;
  uint32_t m_BufferSize;
  int32_t m_CallerStatus;
};
struct sWireAttributeOutput {
  uint32_t m_ByteCount;
  int32_t m_Status;
};
struct sWireFirmwareInput {
  uint64_t m_Data;
  uint32_t m_Length;
  uint32_t m_PinOutAddr;
  uint32_t m_PinOutVer;
  uint32_t m_Offset;
  int32_t m_CallerStatus;
  uint32_t m_Pad;
};
struct sWireFirmwareOutput {
  int32_t m_Status;
};
static_assert(sizeof(sWireDescriptor) == 32, "request descriptor");
static_assert(sizeof(sWireAttributeInput) == 24, "attribute input");
static_assert(sizeof(sWireAttributeOutput) == 8, "attribute output");
static_assert(sizeof(sWireFirmwareInput) == 32, "firmware input");
static_assert(sizeof(sWireFirmwareOutput) == 4, "firmware output");

int configuredErrno(const sDeviceSettings& a_rSettings, int a_KindErrno) {
  return a_rSettings.m_Errno != 0 ? a_rSettings.m_Errno : a_KindErrno;
}

int answerAttribute(const sDeviceSettings& a_rSettings, sWireDescriptor& a_rDescriptor,
                    sDriverRequest& a_rLog) {
  if (a_rDescriptor.m_InputSize != sizeof(sWireAttributeInput) ||
      a_rDescriptor.m_OutputSize != sizeof(sWireAttributeOutput)) {
    return EINVAL;
  }
  sWireAttributeInput l_Input;
  if (!copyFromCaller(&l_Input, a_rDescriptor.m_Input, sizeof(l_Input))) return EFAULT;
  a_rLog.m_AttributeId = l_Input.m_Id;
  a_rLog.m_BufferSize = l_Input.m_BufferSize;
  a_rLog.m_CallerStatus = l_Input.m_CallerStatus;
  const int l_Errno = configuredErrno(a_rSettings, a_rSettings.m_AttributeErrno);
  if (l_Errno != 0) return l_Errno;

  sWireAttributeOutput l_Output = {0, 0};
  const auto l_Value = a_rSettings.m_Attributes.find(l_Input.m_Id);
  if (l_Value == a_rSettings.m_Attributes.end()) {
    l_Output.m_Status = QVZEL_ERR_NOT_SUPPORTED;
  } else if (l_Input.m_BufferSize < sizeof(uint32_t)) {
    l_Output.m_Status = QVZEL_ERR_BUFFER_TOO_SMALL;
  } else {
    if (!copyToCaller(l_Input.m_Buffer, &l_Value->second, sizeof(uint32_t))) return EFAULT;
    l_Output.m_ByteCount = sizeof(uint32_t);
    l_Output.m_Status = a_rSettings.m_AttributeStatus;
  }
  const auto l_Status = a_rSettings.m_AttributeStatusById.find(l_Input.m_Id);
  if (l_Status != a_rSettings.m_AttributeStatusById.end()) l_Output.m_Status = l_Status->second;
  if (a_rSettings.m_HasAttributeByteCount) l_Output.m_ByteCount = a_rSettings.m_AttributeByteCount;

  if (!copyToCaller(a_rDescriptor.m_Output, &l_Output, sizeof(l_Output))) return EFAULT;
  a_rDescriptor.m_BytesReturned = sizeof(l_Output);
  a_rLog.m_Status = l_Output.m_Status;
  a_rLog.m_ByteCount = l_Output.m_ByteCount;
  return 0;
}

int answerFirmware(const sDeviceSettings& a_rSettings, sWireDescriptor& a_rDescriptor,
                   sDriverRequest& a_rLog) {
  if (a_rDescriptor.m_InputSize != sizeof(sWireFirmwareInput) ||
      a_rDescriptor.m_OutputSize != sizeof(sWireFirmwareOutput)) {
    return EINVAL;
  }
  sWireFirmwareInput l_Input;
  if (!copyFromCaller(&l_Input, a_rDescriptor.m_Input, sizeof(l_Input))) return EFAULT;
  a_rLog.m_Length = l_Input.m_Length;
  a_rLog.m_CallerStatus = l_Input.m_CallerStatus;
  const int l_Errno = configuredErrno(a_rSettings, a_rSettings.m_FirmwareErrno);
  if (l_Errno != 0) return l_Errno;
  if (l_Input.m_Length > kMaxFirmwareBytes) return EINVAL;

  sFirmwareWrite l_Write;
  l_Write.m_Length = l_Input.m_Length;
  l_Write.m_PinOutAddr = l_Input.m_PinOutAddr;
  l_Write.m_PinOutVer = l_Input.m_PinOutVer;
  l_Write.m_Offset = l_Input.m_Offset;
  l_Write.m_CallerStatus = l_Input.m_CallerStatus;
  l_Write.m_Bytes.resize(l_Input.m_Length);
  if (!copyFromCaller(l_Write.m_Bytes.data(), l_Input.m_Data, l_Input.m_Length)) return EFAULT;
  appendWrite(a_rSettings.m_LogDir, a_rSettings.m_Name, l_Write);

  const sWireFirmwareOutput l_Output = {a_rSettings.m_FirmwareStatus};
  if (!copyToCaller(a_rDescriptor.m_Output, &l_Output, sizeof(l_Output))) return EFAULT;
  a_rDescriptor.m_BytesReturned = sizeof(l_Output);
  a_rLog.m_Status = l_Output.m_Status;
  return 0;
}

}  // namespace

int answerRequest(const sDeviceSettings& a_rSettings, unsigned long a_Code, void* a_pArgument) {
  sDriverRequest l_Log;
  l_Log.m_Code = static_cast<uint32_t>(a_Code);
  sWireDescriptor l_Descriptor;
  int l_Errno = ENOTTY;
  if (!copyFromCaller(&l_Descriptor, reinterpret_cast<uintptr_t>(a_pArgument),
                      sizeof(l_Descriptor))) {
    l_Errno = EFAULT;
  } else if (a_Code == kGetAttributeRequest) {
    l_Errno = answerAttribute(a_rSettings, l_Descriptor, l_Log);
  } else if (a_Code == kUpdateFirmwareRequest) {
    l_Errno = answerFirmware(a_rSettings, l_Descriptor, l_Log);
  }
  if (l_Errno == 0) {
    const uint64_t l_BytesReturned = l_Descriptor.m_BytesReturned;
    const uint64_t l_Field =
        reinterpret_cast<uintptr_t>(a_pArgument) + offsetof(sWireDescriptor, m_BytesReturned);
    if (!copyToCaller(l_Field, &l_BytesReturned, sizeof(l_BytesReturned))) l_Errno = EFAULT;
  }
  l_Log.m_Errno = l_Errno;
  appendRequest(a_rSettings.m_LogDir, a_rSettings.m_Name, l_Log);
  return l_Errno;
}

}  // namespace nQvDriverSim_1_0
