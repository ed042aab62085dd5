// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated kernel driver's answer to one request on a device file of
// class "nQVZEL_1_0_Cyclone4UpstreamZEL": attribute reads (0x0020003D) and
// firmware updates (0x0020003C), as the register proxy sends them.
#pragma once

#include "qvzel_driver.h"
#include "sDeviceSettings.h"

#include <cstdint>

namespace nQvDriverSim_1_0 {

constexpr uint32_t kUpdateFirmwareRequest = QVZEL_REQUEST_UPDATE_FIRMWARE;
constexpr uint32_t kGetAttributeRequest = QVZEL_REQUEST_GET_ATTRIBUTE;
// Largest firmware image the driver accepts (a flash part is far smaller).
constexpr uint32_t kMaxFirmwareBytes = 64u * 1024u * 1024u;

// Answers a request whose argument is the 32-byte request descriptor at
// a_pArgument. Returns 0, or the errno the ioctl call fails with.
int answerRequest(const sDeviceSettings& a_rSettings, unsigned long a_Code, void* a_pArgument);

}  // namespace nQvDriverSim_1_0
