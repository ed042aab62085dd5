// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driver/tDeviceInterfaceProxy.h"

#include "driver/errnoStatus.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

namespace {

// Records the status code of the error number a failed call left behind.
void recordErrno(int a_Errno, Status& a_rStatus) {
  QVZ_SET_STATUS(a_rStatus, statusCodeFromErrno(a_Errno));
}

}  // namespace

tDeviceInterfaceProxy::tDeviceInterfaceProxy() : m_Fd(-1) {}

tDeviceInterfaceProxy::~tDeviceInterfaceProxy() { tDeviceInterfaceProxy::close(); }

void tDeviceInterfaceProxy::close() {
  if (!isOpen()) return;
  ::close(m_Fd);
  m_Fd = -1;
}

uint32_t tDeviceInterfaceProxy::request(uint32_t a_Code, const void* a_pInput, uint32_t a_InputSize,
                                        void* a_pOutput, uint32_t a_OutputSize, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  sRequestDescriptor l_Descriptor;
  l_Descriptor.input_address = reinterpret_cast<uintptr_t>(a_pInput);
  l_Descriptor.output_address = reinterpret_cast<uintptr_t>(a_pOutput);
  l_Descriptor.input_size = a_InputSize;
  l_Descriptor.output_size = a_OutputSize;
  l_Descriptor.bytes_returned = 0;
  if (::ioctl(m_Fd, static_cast<unsigned long>(a_Code), &l_Descriptor) == -1) {
    recordErrno(errno, a_rStatus);
  }
  return static_cast<uint32_t>(l_Descriptor.bytes_returned);
}

ssize_t tDeviceInterfaceProxy::read(void* a_pBuffer, size_t a_Size, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  const ssize_t l_Result = ::read(m_Fd, a_pBuffer, a_Size);
  if (l_Result == -1) recordErrno(errno, a_rStatus);
  return l_Result;
}

ssize_t tDeviceInterfaceProxy::write(const void* a_pBuffer, size_t a_Size, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  const ssize_t l_Result = ::write(m_Fd, a_pBuffer, a_Size);
  if (l_Result == -1) recordErrno(errno, a_rStatus);
  return l_Result;
}

void* tDeviceInterfaceProxy::mapMemory(uint32_t a_Window, size_t a_Length, int a_Access,
                                       sMemoryMapping& a_rMapping, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return nullptr;
  const off_t l_Offset = static_cast<off_t>(a_Window & kWindowMask) * ::sysconf(_SC_PAGESIZE);
  const int l_Protection = (a_Access == kAccessReadWrite) ? (PROT_READ | PROT_WRITE) : PROT_READ;
  void* l_pAddress = ::mmap(nullptr, a_Length, l_Protection, MAP_SHARED, m_Fd, l_Offset);
  if (l_pAddress == MAP_FAILED) {
    recordErrno(errno, a_rStatus);
    a_rMapping.m_pAddress = nullptr;
    return nullptr;
  }
  a_rMapping.m_pAddress = l_pAddress;
  a_rMapping.m_Length = a_Length;
  return l_pAddress;
}

void tDeviceInterfaceProxy::unmapMemory(sMemoryMapping& a_rMapping) {
  if (a_rMapping.m_pAddress == nullptr) return;
  ::munmap(a_rMapping.m_pAddress, a_rMapping.m_Length);
  a_rMapping.m_pAddress = nullptr;
}

bool tDeviceInterfaceProxy::isOpen() const { return m_Fd != -1; }

void tDeviceInterfaceProxy::open(const sInterfacePath& a_rPath, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  // A path without its NUL inside the buffer was never filled by the reader.
  if (std::memchr(a_rPath.m_Path, '\0', sizeof(a_rPath.m_Path)) == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  open(a_rPath.m_Path, a_rStatus);
}

void tDeviceInterfaceProxy::open(const char* a_pPath, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pPath == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  const int l_Fd = ::open(a_pPath, O_RDWR | O_CLOEXEC);
  if (l_Fd == -1) {
    recordErrno(errno, a_rStatus);
    return;
  }
  m_Fd = l_Fd;
}

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
