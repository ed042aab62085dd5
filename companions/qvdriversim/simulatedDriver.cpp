// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simulatedDriver.h"

#include <cerrno>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "callerMemory.h"
#include "cardFlash.h"
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

// A card with a flash answers its running version and the version its boot
// header names now from the flash's state; false when that cannot be read.
bool flashVersions(const sDeviceSettings& a_rSettings,
                   std::map<uint32_t, uint32_t>& a_rAttributes) {
  std::string l_Error;
  uint32_t l_Running = 0, l_Pending = 0;
  if (!readRunningVersion(a_rSettings.m_StateDir, a_rSettings.m_Name, l_Running, l_Error) ||
      !readBootVersion(a_rSettings.m_StateDir, a_rSettings.m_Name, l_Pending, l_Error)) {
    return false;
  }
  a_rAttributes[QVZEL_DRV_ATTR_FW_VERSION] = l_Running;
  a_rAttributes[QVZEL_DRV_ATTR_PENDING_VERSION] = l_Pending;
  return true;
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

  std::map<uint32_t, uint32_t> l_Attributes = a_rSettings.m_Attributes;
  if (a_rSettings.m_FlashSize != 0 && !flashVersions(a_rSettings, l_Attributes)) return EIO;
  sWireAttributeOutput l_Output = {0, 0};
  const auto l_Value = l_Attributes.find(l_Input.attribute_id);
  if (l_Value == l_Attributes.end()) {
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

  sWireFirmwareOutput l_Output = {a_rSettings.m_FirmwareStatus};
  // A card with a flash writes it as the driver does: nothing for an empty
  // request or one that does not fit the flash, nothing when the configured
  // status is a failure; the bytes outside the request stay as they were.
  if (a_rSettings.m_FlashSize != 0 && l_Output.status >= 0) {
    if (l_Input.length == 0 ||
        uint64_t{l_Input.flash_offset} + l_Input.length > a_rSettings.m_FlashSize) {
      l_Output.status = QVZEL_DRV_STATUS_OUT_OF_RANGE;
    } else {
      std::string l_Error;
      if (!writeFlash(a_rSettings.m_StateDir, a_rSettings.m_Name, l_Input.flash_offset,
                      l_Write.m_Bytes.data(), l_Write.m_Bytes.size(), l_Error)) {
        return EIO;
      }
    }
  }
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
