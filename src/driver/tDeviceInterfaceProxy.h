// SPDX-License-Identifier: LGPL-2.1-or-later
// nQVKORA000::tDeviceInterfaceProxy: opens the device file of one driver
// interface and exchanges requests, reads, writes and memory windows with it.
// Every operating-system error becomes a status code (errnoStatus.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/iInterfaceProxy.h"
#include "driver/sInterfacePath.h"
#include "qvzel_driver.h"

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

// The argument record of every driver request, as the driver ABI header
// declares it (its size and offsets are asserted there).
using sRequestDescriptor = ::qvzel_request_descriptor;

class tDeviceInterfaceProxy : public virtual iInterfaceProxy {
 public:
  // mapMemory access value that asks for a writable window.
  static constexpr int kAccessReadWrite = 1;
  // Only the low 16 bits of a window number count.
  static constexpr uint32_t kWindowMask = 0xFFFF;

  tDeviceInterfaceProxy();
  ~tDeviceInterfaceProxy() override;
  tDeviceInterfaceProxy(const tDeviceInterfaceProxy&) = delete;
  tDeviceInterfaceProxy& operator=(const tDeviceInterfaceProxy&) = delete;

  void close() override;
  uint32_t request(uint32_t a_Code, const void* a_pInput, uint32_t a_InputSize, void* a_pOutput,
                   uint32_t a_OutputSize, Status& a_rStatus) override;
  ssize_t read(void* a_pBuffer, size_t a_Size, Status& a_rStatus) override;
  ssize_t write(const void* a_pBuffer, size_t a_Size, Status& a_rStatus) override;
  void* mapMemory(uint32_t a_Window, size_t a_Length, int a_Access, sMemoryMapping& a_rMapping,
                  Status& a_rStatus) override;
  void unmapMemory(sMemoryMapping& a_rMapping) override;

  virtual bool isOpen() const;
  // Opens the device file an interface names.
  virtual void open(const sInterfacePath& a_rPath, Status& a_rStatus);
  // Opens a_pPath for reading and writing; callers open only a closed proxy.
  virtual void open(const char* a_pPath, Status& a_rStatus);

 private:
  int m_Fd;
};

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
