// SPDX-License-Identifier: LGPL-2.1-or-later
// One link port of an upstream link device, read from the port's PCI bridge
// when the device is found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQVZEL_15_0 {

struct sPortInfo {
  std::string m_Name;        // port name from the model row ("1" to "4")
  uint32_t m_BridgeAttr300;  // bridge attribute QVPCIBRD_ATTR_PORT_NUMBER
  uint32_t m_BridgeAttrB00;  // bridge attribute QVPCIBRD_ATTR_LINK_WIDTH
  uint32_t m_BridgeAttrC00;  // bridge attribute QVPCIBRD_ATTR_LINK_SPEED
  // False when the bridge library does not serve m_BridgeAttr300; the
  // port is listed and reading its number answers not supported.
  bool m_BridgeAttr300Served = true;
};

typedef std::vector<sPortInfo> tPortList;

}  // namespace nQVZEL_15_0
