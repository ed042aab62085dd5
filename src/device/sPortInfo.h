// One link port of an upstream link device, read from the port's PCI bridge
// when the device is found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQVZEL_15_0 {

struct sPortInfo {
  std::string m_Name;        // port name from the model row ("1" to "4")
  uint32_t m_BridgeAttr300;  // bridge attribute 0x20000300
  uint32_t m_BridgeAttrB00;  // bridge attribute 0x20000B00 (link width)
  uint32_t m_BridgeAttrC00;  // bridge attribute 0x20000C00
  // False when the bridge library does not serve attribute 0x20000300; the
  // port is listed and reading its number answers not supported.
  bool m_BridgeAttr300Served = true;
};

typedef std::vector<sPortInfo> tPortList;

}  // namespace nQVZEL_15_0
