// SPDX-License-Identifier: LGPL-2.1-or-later
// cLabDevice: the lab module's control device /dev/qvlab, one method per
// request. Every method answers 0 or the errno of the failed call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qvlab_uapi.h"

namespace nQvlabTool {

class cLabDevice {
 public:
  cLabDevice() = default;
  ~cLabDevice();
  cLabDevice(const cLabDevice&) = delete;
  cLabDevice& operator=(const cLabDevice&) = delete;

  int open(const char* a_pPath = QVLAB_DEVICE_PATH);
  int load(const std::vector<qvlab_function>& a_rRecords);
  int reload();
  int unplug(const std::string& a_rName, bool a_PlugBackIn);
  int cable(const std::string& a_rName, bool a_On);
  int flashRead(const std::string& a_rName, uint32_t a_Offset, std::vector<uint8_t>& a_rData);
  int flashWrite(const std::string& a_rName, uint32_t a_Offset,
                 const std::vector<uint8_t>& a_rData);
  // Every function as the lab holds it now.
  int info(std::vector<qvlab_info>& a_rInfo);

 private:
  int request(unsigned long a_Code, void* a_pArgument);
  int m_Fd = -1;
};

}  // namespace nQvlabTool
