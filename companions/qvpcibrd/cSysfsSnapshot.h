// One reading of the PCI tree that Linux shows under sysfs: every function
// of PCI domain 0 listed in bus/pci/devices, placed by the directory its
// entry links to under devices/, and the root buses of class/pci_bus. Only
// files that every user may read are required; what cannot be read is
// marked as missing. The link files and the configuration space are read
// only for the functions asked for: reading "config" wakes a function that
// is powered down, so it is left alone for functions nobody asked about.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvpcibrd {

struct sSysfsFunction {
  std::string m_Name;        // "0000:00:1c.0"
  std::string m_Dir;         // its directory under devices/
  std::string m_ParentName;  // the function whose directory holds this one, or empty
  uint8_t m_Bus = 0;
  uint8_t m_Device = 0;
  uint8_t m_Function = 0;
  bool m_HasClass = false;
  uint32_t m_Class = 0;  // 24 bits: base class, subclass, programming interface
  uint16_t m_VendorId = 0;
  uint16_t m_DeviceId = 0;
  uint16_t m_SubsystemVendorId = 0;
  uint16_t m_SubsystemId = 0;
  bool m_HasSecondary = false;
  uint8_t m_Secondary = 0;
  // Filled by readDetails:
  bool m_HasLinkWidth = false;
  uint32_t m_LinkWidth = 0;
  bool m_HasLinkSpeed = false;
  std::string m_LinkSpeed;        // current_link_speed without its line end
  std::vector<uint8_t> m_Config;  // as much of the configuration space as could be read
};

// A PCI address "DDDD:BB:DD.F"; false for any other text.
bool parsePciAddress(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus,
                     uint8_t& a_rDevice, uint8_t& a_rFunction);

class cSysfsSnapshot {
 public:
  std::vector<sSysfsFunction> m_Functions;  // ascending by bus, device, function
  std::vector<uint8_t> m_RootBuses;         // ascending, each once

  // Reads the tree below a_rRoot (normally "/sys"). False with a message
  // only when a_rRoot is not a readable directory; a root without PCI
  // gives an empty snapshot.
  bool read(const std::string& a_rRoot, std::string& a_rError);
  // Reads the link files and the configuration space of one function, and
  // takes its secondary bus from there when sysfs named none.
  static void readDetails(sSysfsFunction& a_rFunction);
};

}  // namespace qvpcibrd
