// SPDX-License-Identifier: LGPL-2.1-or-later
// The texts the sysfs backend parses on every session opening: modalias
// lines, function and bus names, and the links it resolves without asking
// the kernel.
#include <gtest/gtest.h>

#include <string>

#include "cSysfsParser.h"

using qvpcibrd::cSysfsParser;
using qvpcibrd::sPciIdentity;

namespace {

TEST(SysfsParser, ModaliasAsTheKernelWritesIt) {
  sPciIdentity l_Id;
  ASSERT_TRUE(
      cSysfsParser::parseModalias("pci:v00001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i00", l_Id));
  EXPECT_EQ(0x1F3C, l_Id.m_VendorId);
  EXPECT_EQ(0x5A30, l_Id.m_DeviceId);
  EXPECT_EQ(0x1F3C, l_Id.m_SubsystemVendorId);
  EXPECT_EQ(0x5A31, l_Id.m_SubsystemId);
  EXPECT_EQ(0x118000u, l_Id.m_Class);
  ASSERT_TRUE(
      cSysfsParser::parseModalias("pci:v0000abcdd0000ef01sv00000000sd00000000bc06sc04i01", l_Id));
  EXPECT_EQ(0xABCD, l_Id.m_VendorId);
  EXPECT_EQ(0x060401u, l_Id.m_Class);

  // Anything else leaves the backend to the files of their own.
  for (const char* l_pText : {"", "pci:v00001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i0",
                              "pci:v00001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i000",
                              "pci:v00011F3Cd00005A30sv00001F3Csd00005A31bc11sc80i00",
                              "pci:v-0001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i00",
                              "pci:v00001F3Cd00005A30sd00001F3Csv00005A31bc11sc80i00",
                              "usb:v00001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i00",
                              "pci:v00001F3Cd00005A30sv00001F3Csd00005A31bc11sc80i00 "}) {
    EXPECT_FALSE(cSysfsParser::parseModalias(l_pText, l_Id)) << l_pText;
  }
}

TEST(SysfsParser, FunctionAndBusNames) {
  uint32_t l_Domain = 9;
  uint8_t l_Bus = 0, l_Device = 0, l_Function = 0;
  ASSERT_TRUE(
      cSysfsParser::parseFunctionAddress("10000:e0:1f.7", l_Domain, l_Bus, l_Device, l_Function));
  EXPECT_EQ(0x10000u, l_Domain);
  EXPECT_EQ(0xE0, l_Bus);
  EXPECT_EQ(0x1F, l_Device);
  EXPECT_EQ(7, l_Function);
  for (const char* l_pText : {"0000:00:20.0", "0000:00:1c.8", "0000:00:1c", "0000:100:00.0",
                              "pci0000:00", "0000:00:1c.0 ", "0000:00:1c.01", ":00:1c.0"}) {
    EXPECT_FALSE(cSysfsParser::parseFunctionAddress(l_pText, l_Domain, l_Bus, l_Device, l_Function))
        << l_pText;
  }
  EXPECT_TRUE(cSysfsParser::isDomainZeroFunction("0000:05:00.1"));
  EXPECT_FALSE(cSysfsParser::isDomainZeroFunction("0001:05:00.1"));
  EXPECT_TRUE(cSysfsParser::parseBusName("0000:1a", l_Domain, l_Bus));
  EXPECT_EQ(0x1A, l_Bus);
  EXPECT_FALSE(cSysfsParser::parseBusName("0000:1a:00.0", l_Domain, l_Bus));
}

TEST(SysfsParser, OnlyPlainRelativeLinksAreResolvedAsText) {
  std::string l_Rest;
  ASSERT_TRUE(
      cSysfsParser::isPlainRelativeLink("../../../devices/pci0000:00/0000:00:1c.0", 3, l_Rest));
  EXPECT_EQ("devices/pci0000:00/0000:00:1c.0", l_Rest);
  // Climbing more or less than the link's own directories, an absolute
  // target, or "." and ".." further on: the kernel resolves them.
  for (const char* l_pLink :
       {"../../devices/pci0000:00/0000:00:1c.0", "../../../../devices/pci0000:00/0000:00:1c.0",
        "/sys/devices/pci0000:00/0000:00:1c.0", "../../../devices/pci0000:00/../0000:00:1c.0",
        "../../../devices/./pci0000:00/0000:00:1c.0", "../../../devices//pci0000:00",
        "../../../devices/pci0000:00/", "../../../"}) {
    EXPECT_FALSE(cSysfsParser::isPlainRelativeLink(l_pLink, 3, l_Rest)) << l_pLink;
  }
  EXPECT_EQ("0000:00:1c.0", cSysfsParser::pathPart("/sys/devices/pci0000:00/0000:00:1c.0", 0));
  EXPECT_EQ("pci0000:00", cSysfsParser::pathPart("/sys/devices/pci0000:00/0000:00:1c.0", 1));
  EXPECT_EQ("sys", cSysfsParser::pathPart("/sys/devices", 1));
  EXPECT_EQ("", cSysfsParser::pathPart("/sys/devices", 3));
}

}  // namespace
