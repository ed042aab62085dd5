// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cLabDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nQvlabTool {

namespace {

template <typename T>
void copyName(T& a_rRecord, const std::string& a_rName) {
  std::memset(a_rRecord.name, 0, sizeof(a_rRecord.name));
  std::strncpy(a_rRecord.name, a_rName.c_str(), sizeof(a_rRecord.name) - 1);
}

}  // namespace

cLabDevice::~cLabDevice() {
  if (m_Fd >= 0) {
    ::close(m_Fd);
  }
}

int cLabDevice::open(const char* a_pPath) {
  m_Fd = ::open(a_pPath, O_RDWR | O_CLOEXEC);
  return m_Fd < 0 ? errno : 0;
}

int cLabDevice::request(unsigned long a_Code, void* a_pArgument) {
  int l_Result;
  do {
    l_Result = ::ioctl(m_Fd, a_Code, a_pArgument);
  } while (l_Result < 0 && errno == EINTR);
  return l_Result < 0 ? errno : 0;
}

int cLabDevice::load(const std::vector<qvlab_function>& a_rRecords) {
  qvlab_load l_Load{};
  l_Load.record_size = sizeof(qvlab_function);
  l_Load.count = uint32_t(a_rRecords.size());
  l_Load.records = reinterpret_cast<uintptr_t>(a_rRecords.data());
  return request(QVLAB_IOC_LOAD, &l_Load);
}

int cLabDevice::reload() { return request(QVLAB_IOC_RELOAD, nullptr); }

int cLabDevice::unplug(const std::string& a_rName, bool a_PlugBackIn) {
  qvlab_name_op l_Op{};
  copyName(l_Op, a_rName);
  l_Op.on = a_PlugBackIn ? 1 : 0;
  return request(QVLAB_IOC_UNPLUG, &l_Op);
}

int cLabDevice::cable(const std::string& a_rName, bool a_On) {
  qvlab_name_op l_Op{};
  copyName(l_Op, a_rName);
  l_Op.on = a_On ? 1 : 0;
  return request(QVLAB_IOC_CABLE, &l_Op);
}

int cLabDevice::flashRead(const std::string& a_rName, uint32_t a_Offset,
                          std::vector<uint8_t>& a_rData) {
  qvlab_flash_io l_Io{};
  copyName(l_Io, a_rName);
  l_Io.offset = a_Offset;
  l_Io.length = uint32_t(a_rData.size());
  l_Io.data = reinterpret_cast<uintptr_t>(a_rData.data());
  return request(QVLAB_IOC_FLASH_READ, &l_Io);
}

int cLabDevice::flashWrite(const std::string& a_rName, uint32_t a_Offset,
                           const std::vector<uint8_t>& a_rData) {
  qvlab_flash_io l_Io{};
  copyName(l_Io, a_rName);
  l_Io.offset = a_Offset;
  l_Io.length = uint32_t(a_rData.size());
  l_Io.data = reinterpret_cast<uintptr_t>(a_rData.data());
  return request(QVLAB_IOC_FLASH_WRITE, &l_Io);
}

int cLabDevice::info(std::vector<qvlab_info>& a_rInfo) {
  a_rInfo.clear();
  for (uint32_t l_Index = 0;; ++l_Index) {
    qvlab_info l_Info{};
    l_Info.index = l_Index;
    const int l_Error = request(QVLAB_IOC_INFO, &l_Info);
    if (l_Error == ENOENT) {
      return 0;
    }
    if (l_Error != 0) {
      return l_Error;
    }
    a_rInfo.push_back(l_Info);
  }
}

}  // namespace nQvlabTool
