// SPDX-License-Identifier: LGPL-2.1-or-later
// Reads the interface sections of a simulated-system file. The file is shared
// with the simulated PCI bridge library and parsed by the same reader
// (cSystemFile.h): sections of every other kind, and unknown keys, are left
// to it and ignored here.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "qvzel_driver.h"
#include "sDeviceSettings.h"

namespace nQvDriverSim_1_0 {

constexpr const char* kDefaultInterfaceClass = QVZEL_CLASS_CYCLONE4_UPSTREAM;

// One [interface NAME] section: a device directory of the driver tree with
// one device interface and its device file.
struct sInterfaceSpec {
  std::string m_Name;
  std::string m_Directory;  // the device's directory under /proc/driver/qv
  std::string m_Class = kDefaultInterfaceClass;
  std::string m_Instance = "0";
  bool m_HasInterfacePath = false;
  std::string m_InterfacePath;  // content of interfacePath when given
  std::map<std::string, std::vector<uint8_t>> m_BusProperties;
  std::map<std::string, std::vector<uint8_t>> m_DeviceProperties;
  sDeviceSettings m_Driver;
};

// False with a message "FILE:LINE: what" on a malformed file or interface
// section.
bool parseSystemText(const std::string& a_rText, const std::string& a_rSourceName,
                     std::vector<sInterfaceSpec>& a_rInterfaces, std::string& a_rError);
bool parseSystemFile(const std::string& a_rPath, std::vector<sInterfaceSpec>& a_rInterfaces,
                     std::string& a_rError);

}  // namespace nQvDriverSim_1_0
