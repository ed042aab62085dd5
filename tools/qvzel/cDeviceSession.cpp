// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cDeviceSession.h"

#include "qvzelif.h"

namespace nQvzelTool {

int32_t cDeviceSession::open() {
  m_Attempted = true;
  return nQVPXIKTFINDER100_openDevice(m_pItem);
}

void cDeviceSession::close() {
  if (!m_Attempted) return;
  nQVPXIKTFINDER100_closeDevice(m_pItem);
  m_Attempted = false;
}

}  // namespace nQvzelTool
