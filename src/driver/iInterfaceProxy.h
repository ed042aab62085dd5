// SPDX-License-Identifier: LGPL-2.1-or-later
// nQVKORA000::iInterfaceProxy: the abstract channel to one device interface of
// the kernel driver. Typed proxies derive from it virtually, so that a typed
// interface and the generic implementation share one base.
#pragma once

#include "status/Status.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

// A memory window of the device file mapped into the process.
struct sMemoryMapping {
  void* m_pAddress;  // null when nothing is mapped
  uint64_t m_Length;
};

class iInterfaceProxy {
 public:
  virtual ~iInterfaceProxy() {}
  virtual void close() = 0;
  // Sends one driver request; returns the byte count the driver reported.
  virtual uint32_t request(uint32_t a_Code, const void* a_pInput, uint32_t a_InputSize,
                           void* a_pOutput, uint32_t a_OutputSize, Status& a_rStatus) = 0;
  virtual ssize_t read(void* a_pBuffer, size_t a_Size, Status& a_rStatus) = 0;
  virtual ssize_t write(const void* a_pBuffer, size_t a_Size, Status& a_rStatus) = 0;
  virtual void* mapMemory(uint32_t a_Window, size_t a_Length, int a_Access,
                          sMemoryMapping& a_rMapping, Status& a_rStatus) = 0;
  virtual void unmapMemory(sMemoryMapping& a_rMapping) = 0;
};

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
