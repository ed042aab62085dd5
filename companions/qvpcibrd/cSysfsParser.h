// SPDX-License-Identifier: LGPL-2.1-or-later
// The texts sysfs names PCI things with: function addresses, bus names,
// modalias lines and the paths its links lead to. Pure text work, without
// allocation where it can be avoided: a session opening parses a few of
// them for every function of the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvpcibrd {

// What modalias says of a function: the values of the class, vendor,
// device, subsystem_vendor and subsystem_device files in one line.
struct sPciIdentity {
  uint32_t m_Class = 0;  // 24 bits: base class, subclass, programming interface
  uint16_t m_VendorId = 0;
  uint16_t m_DeviceId = 0;
  uint16_t m_SubsystemVendorId = 0;
  uint16_t m_SubsystemId = 0;
};

class cSysfsParser {
 public:
  // A function address "DDDD:BB:DD.F" (hex; device up to 0x1F, function up
  // to 7); false for any other text.
  static bool parseFunctionAddress(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus,
                                   uint8_t& a_rDevice, uint8_t& a_rFunction);
  // A function address of PCI domain 0.
  static bool isDomainZeroFunction(const std::string& a_rText);
  // A bus name "DDDD:BB".
  static bool parseBusName(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus);
  // "pci:vVVVVVVVVdDDDDDDDDsvSSSSSSSSsdSSSSSSSSbcCCscCCiCC", as the kernel
  // writes it (upper- or lower-case hex digits).
  static bool parseModalias(const std::string& a_rText, sPciIdentity& a_rIdentity);
  // Part a_FromEnd of a slash-separated path counted from its end (0 is
  // the last); empty when the path has fewer parts.
  static std::string pathPart(const std::string& a_rPath, size_t a_FromEnd);
  // A relative link text that climbs exactly a_Up directories with leading
  // ".." parts and then names a plain path (no "." or ".." or empty part):
  // the form of every PCI link in sysfs. The plain rest goes to a_rRest.
  static bool isPlainRelativeLink(const std::string& a_rLink, size_t a_Up, std::string& a_rRest);
};

}  // namespace qvpcibrd
