// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated kernel driver's interface sections, read through the one
// reader of simulated-system files that the bridge library shares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimPciBridge.h"
#include "pcibridge/cPciBrdDynLib.h"
#include "qvpcibrd.h"
#include "systemFile.h"

namespace {

using nQvDriverSim_1_0::parseSystemText;
using nQvDriverSim_1_0::sInterfaceSpec;

// Both simulators read one file with the one reader: what one refuses as
// malformed the other refuses too, and a '+' sign is no number to either.
TEST(SimulatedSystemGrammar, BothSimulatorsAcceptAndRefuseTheSameFiles) {
  const std::string l_Bridge = "[bridge a]\nbus = 0\nfunction = 0\n";
  const std::string l_Interface = "[interface a]\n";
  const struct {
    std::string m_Text;
    bool m_WellFormed;
  } kCases[] = {
      {l_Bridge + "device = 1\n" + l_Interface + "pciBusNumber = 1\n", true},
      {l_Bridge + "device = +1\n" + l_Interface + "pciBusNumber = +1\n", false},
      {"stray = 1\n" + l_Bridge + "device = 1\n" + l_Interface, false},
      {l_Bridge + "device = 1\njust words\n" + l_Interface, false},
      {l_Bridge + "device = 1\n[interface a b]\n", false},
      {l_Bridge + "device = 1\n[interface a\n", false},
  };
  for (const auto& l_Case : kCases) {
    std::vector<sInterfaceSpec> l_Interfaces;
    std::string l_Error;
    EXPECT_EQ(l_Case.m_WellFormed, parseSystemText(l_Case.m_Text, "sys", l_Interfaces, l_Error))
        << l_Case.m_Text;

    qvztest::cSimSystem l_System(l_Case.m_Text);
    JsonStatus l_Status;
    nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdDynLib l_Lib(l_Status);
    int32_t l_Session = QVPCIBRD_NO_SESSION;
    const int32_t l_Result = l_Lib.OpenSession(0, &l_Session);
    if (l_Result >= 0) l_Lib.CloseSession(l_Session);
    EXPECT_EQ(l_Case.m_WellFormed ? QVPCIBRD_SUCCESS : QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Result)
        << l_Case.m_Text;
  }
}

std::vector<uint8_t> bytes(std::initializer_list<int> a_Values) {
  std::vector<uint8_t> l_Bytes;
  for (int l_Value : a_Values) l_Bytes.push_back(static_cast<uint8_t>(l_Value));
  return l_Bytes;
}

TEST(SimulatedSystemFile, ReadsInterfaceSectionsAndLeavesTheRestToOthers) {
  const std::string l_Text =
      "# a system\n"
      "[bridge root]\n"
      "pciBusNumber = 0xZZ\n"
      "[interface up0]\n"
      "; comment\n"
      "  pciVendorID = 0x1F3C  \n"
      "pciBusNumber = 12\n"
      "serialNumber = 01AB CD\n"
      "deviceProperty.raw = 41 4200\n"
      "attribute.0xF000F0D0 = 0xBF8E\n"
      "attributeStatus = -52005\n"
      "attributeStatus.0xF000F0C0 = 3\n"
      "firmwareErrno = 16\n"
      "unknownKey = whatever\n"
      "[INTERFACE not-ours]\n"
      "pciVendorID = junk\n"
      "[interface second]\n"
      "class = nQVZEL_1_0_Pxi4120\n"
      "instance = inst 7\n"
      "directory = shared\n"
      "interfacePath = /dev/x y\n";
  std::vector<sInterfaceSpec> l_Interfaces;
  std::string l_Error;
  ASSERT_TRUE(parseSystemText(l_Text, "sys", l_Interfaces, l_Error)) << l_Error;
  ASSERT_EQ(l_Interfaces.size(), 2u);

  const sInterfaceSpec& l_Up = l_Interfaces[0];
  EXPECT_EQ(l_Up.m_Name, "up0");
  EXPECT_EQ(l_Up.m_Directory, "up0");
  EXPECT_EQ(l_Up.m_Class, "nQVZEL_1_0_Cyclone4UpstreamZEL");
  EXPECT_EQ(l_Up.m_Instance, "0");
  EXPECT_FALSE(l_Up.m_HasInterfacePath);
  EXPECT_EQ(l_Up.m_BusProperties.at("pciVendorID"), bytes({0x3C, 0x1F, 0, 0}));
  EXPECT_EQ(l_Up.m_BusProperties.at("pciBusNumber"), bytes({12, 0, 0, 0}));
  EXPECT_EQ(l_Up.m_BusProperties.size(), 2u);
  EXPECT_EQ(l_Up.m_DeviceProperties.at("serialNumber"),
            bytes({'0', '1', 'A', 'B', ' ', 'C', 'D', 0}));
  EXPECT_EQ(l_Up.m_DeviceProperties.at("raw"), bytes({0x41, 0x42, 0x00}));
  EXPECT_EQ(l_Up.m_Driver.m_Attributes.at(0xF000F0D0), 0xBF8Eu);
  EXPECT_EQ(l_Up.m_Driver.m_AttributeStatus, -52005);
  EXPECT_EQ(l_Up.m_Driver.m_AttributeStatusById.at(0xF000F0C0), 3);
  EXPECT_EQ(l_Up.m_Driver.m_FirmwareErrno, 16);

  const sInterfaceSpec& l_Second = l_Interfaces[1];
  EXPECT_EQ(l_Second.m_Class, "nQVZEL_1_0_Pxi4120");
  EXPECT_EQ(l_Second.m_Instance, "inst 7");
  EXPECT_EQ(l_Second.m_Directory, "shared");
  EXPECT_TRUE(l_Second.m_HasInterfacePath);
  EXPECT_EQ(l_Second.m_InterfacePath, "/dev/x y");
}

TEST(SimulatedSystemFile, MalformedInterfaceSectionsNameTheLine) {
  const struct {
    const char* m_pText;
    const char* m_pError;
  } kCases[] = {
      {"[interface a]\npciVendorID = 0x1F3CX\n", "sys:2: bad 32-bit number for pciVendorID"},
      {"[interface a]\npciVendorID = 0x100000000\n", "sys:2: bad 32-bit number for pciVendorID"},
      {"[interface a]\npciDeviceID = 012a\n", "sys:2: bad 32-bit number for pciDeviceID"},
      {"[interface a]\n\njust words\n", "sys:3: expected key = value"},
      {"[interface a]\n[interface a]\n", "sys:2: interface a given twice"},
      {"[interface]\n", "sys:1: an interface section needs a name without '/'"},
      {"[interface ../x]\n", "sys:1: an interface section needs a name without '/'"},
      {"[interface a]\nbusProperty.p = 4\n",
       "sys:2: bad property name or hex bytes for busProperty.p"},
      {"[interface a]\ndeviceProperty.x/y = 41\n",
       "sys:2: bad property name or hex bytes for deviceProperty.x/y"},
      {"[interface a]\nclass = a/b\n", "sys:2: class must be a non-empty name without '/'"},
      {"[interface a]\nattribute.0xF000F0D0 = -1\n", "sys:2: bad value for attribute.0xF000F0D0"},
      {"[interface a]\nattribute.zz = 1\n", "sys:2: bad value for attribute.zz"},
      {"[interface a]\nerrno = -5\n", "sys:2: bad value for errno"},
  };
  for (const auto& l_Case : kCases) {
    std::vector<sInterfaceSpec> l_Interfaces;
    std::string l_Error;
    EXPECT_FALSE(parseSystemText(l_Case.m_pText, "sys", l_Interfaces, l_Error)) << l_Case.m_pText;
    EXPECT_EQ(l_Error, l_Case.m_pError) << l_Case.m_pText;
  }
}

TEST(SimulatedSystemFile, MissingFileIsAnError) {
  std::vector<sInterfaceSpec> l_Interfaces;
  std::string l_Error;
  EXPECT_FALSE(nQvDriverSim_1_0::parseSystemFile("/nonexistent/sys.ini", l_Interfaces, l_Error));
  EXPECT_EQ(l_Error, "/nonexistent/sys.ini: cannot be read");
}

}  // namespace
