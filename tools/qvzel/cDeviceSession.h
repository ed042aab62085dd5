// SPDX-License-Identifier: LGPL-2.1-or-later
// cDeviceSession: the driver connection of one upstream link device, closed on
// every path out of the scope that opened it.
#pragma once

#include <cstdint>

namespace nQvzelTool {

class cDeviceSession {
 public:
  explicit cDeviceSession(void* a_pItem) : m_pItem(a_pItem) {}
  ~cDeviceSession() { close(); }
  cDeviceSession(const cDeviceSession&) = delete;
  cDeviceSession& operator=(const cDeviceSession&) = delete;

  // Opens the connection; returns the library's status code. The connection
  // is closed again later even when opening failed half-way.
  int32_t open();
  void close();

 private:
  void* m_pItem;
  bool m_Attempted = false;
};

}  // namespace nQvzelTool
