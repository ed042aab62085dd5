// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simulatedDriver.h"

#include <cerrno>
#include <cstddef>
#include <vector>

#include "callerMemory.h"
#include "driverLog.h"
#include "qvzel_driver.h"
#include "qvzelif.h"

namespace nQvDriverSim_1_0 {

namespace {

// The records it is handed, as the driver ABI header declares them.
using sWireDescriptor = ::qvzel_request_descriptor;
using sWireAttributeInput = ::qvzel_attribute_input;
using sWireAttributeOutput = ::qvzel_attribute_output;
using sWireFirmwareInput = ::qvzel_firmware_input;
using sWireFirmwareOutput = ::qvzel_firmware_output;

int configuredErrno(const sDeviceSettings& a_rSettings, int a_KindErrno) {
  return a_rSettings.m_Errno != 0 ? a_rSettings.m_Errno : a_KindErrno;
}

int answerAttribute(const sDeviceSettings& a_rSettings, sWireDescriptor& a_rDescriptor,
                    sDriverRequest& a_rLog) {
  if (a_rDescriptor.input_size != sizeof(sWireAttributeInput) ||
      a_rDescriptor.output_size != sizeof(sWireAttributeOutput)) {
    return EINVAL;
  }
  sWireAttributeInput l_Input;
  if (!copyFromCaller(&l_Input, a_rDescriptor.input_address, sizeof(l_Input))) return EFAULT;
  a_rLog.m_AttributeId = l_Input.attribute_id;
  a_rLog.m_BufferSize = l_Input.buffer_size;
  a_rLog.m_CallerStatus = l_Input.caller_status;
  const int l_Errno = configuredErrno(a_rSettings, a_rSettings.m_AttributeErrno);
  if (l_Errno != 0) return l_Errno;

  sWireAttributeOutput l_Output = {0, 0};
  const auto l_Value = a_rSettings.m_Attributes.find(l_Input.attribute_id);
  if (l_Value == a_rSettings.m_Attributes.end()) {
    l_Output.status = QVZEL_ERR_NOT_SUPPORTED;
  } else if (l_Input.buffer_size < sizeof(uint32_t)) {
    l_Output.status = QVZEL_ERR_BUFFER_TOO_SMALL;
  } else {
    if (!copyToCaller(l_Input.buffer_address, &l_Value->second, sizeof(uint32_t))) return EFAULT;
    l_Output.byte_count = sizeof(uint32_t);
    l_Output.status = a_rSettings.m_AttributeStatus;
  }
  const auto l_Status = a_rSettings.m_AttributeStatusById.find(l_Input.attribute_id);
  if (l_Status != a_rSettings.m_AttributeStatusById.end()) l_Output.status = l_Status->second;
  if (a_rSettings.m_HasAttributeByteCount) l_Output.byte_count = a_rSettings.m_AttributeByteCount;

  if (!copyToCaller(a_rDescriptor.output_address, &l_Output, sizeof(l_Output))) return EFAULT;
  a_rDescriptor.bytes_returned = sizeof(l_Output);
  a_rLog.m_Status = l_Output.status;
  a_rLog.m_ByteCount = l_Output.byte_count;
  return 0;
}

int answerFirmware(const sDeviceSettings& a_rSettings, sWireDescriptor& a_rDescriptor,
                   sDriverRequest& a_rLog) {
  if (a_rDescriptor.input_size != sizeof(sWireFirmwareInput) ||
      a_rDescriptor.output_size != sizeof(sWireFirmwareOutput)) {
    return EINVAL;
  }
  sWireFirmwareInput l_Input;
  if (!copyFromCaller(&l_Input, a_rDescriptor.input_address, sizeof(l_Input))) return EFAULT;
  a_rLog.m_Length = l_Input.length;
  a_rLog.m_CallerStatus = l_Input.caller_status;
  const int l_Errno = configuredErrno(a_rSettings, a_rSettings.m_FirmwareErrno);
  if (l_Errno != 0) return l_Errno;
  if (l_Input.length > kMaxFirmwareBytes) return EINVAL;

  sFirmwareWrite l_Write;
  l_Write.m_Length = l_Input.length;
  l_Write.m_PinOutAddr = l_Input.pinout_address;
  l_Write.m_PinOutVer = l_Input.pinout_version;
  l_Write.m_Offset = l_Input.flash_offset;
  l_Write.m_CallerStatus = l_Input.caller_status;
  l_Write.m_Bytes.resize(l_Input.length);
  if (!copyFromCaller(l_Write.m_Bytes.data(), l_Input.data_address, l_Input.length)) return EFAULT;
  appendWrite(a_rSettings.m_LogDir, a_rSettings.m_Name, l_Write);

  const sWireFirmwareOutput l_Output = {a_rSettings.m_FirmwareStatus};
  if (!copyToCaller(a_rDescriptor.output_address, &l_Output, sizeof(l_Output))) return EFAULT;
  a_rDescriptor.bytes_returned = sizeof(l_Output);
  a_rLog.m_Status = l_Output.status;
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
    const uint64_t l_BytesReturned = l_Descriptor.bytes_returned;
    const uint64_t l_Field =
        reinterpret_cast<uintptr_t>(a_pArgument) + offsetof(sWireDescriptor, bytes_returned);
    if (!copyToCaller(l_Field, &l_BytesReturned, sizeof(l_BytesReturned))) l_Errno = EFAULT;
  }
  l_Log.m_Errno = l_Errno;
  appendRequest(a_rSettings.m_LogDir, a_rSettings.m_Name, l_Log);
  return l_Errno;
}

}  // namespace nQvDriverSim_1_0
