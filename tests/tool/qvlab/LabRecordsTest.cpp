// SPDX-License-Identifier: LGPL-2.1-or-later
// The lab's records from system texts: the default lab as the library must
// find it, and texts that describe impossible or misspelt hardware.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "LabRecords.h"

using namespace nQvlabTool;

namespace {

bool build(const std::string& a_rText, std::vector<qvlab_function>& a_rRecords,
           std::string& a_rError) {
  cSystemText l_Text;
  return l_Text.parse(a_rText, a_rError) && buildLabRecords(l_Text, a_rRecords, a_rError);
}

const qvlab_function& named(const std::vector<qvlab_function>& a_rRecords, const char* a_pName) {
  for (const qvlab_function& l_rRecord : a_rRecords) {
    if (std::strcmp(l_rRecord.name, a_pName) == 0) {
      return l_rRecord;
    }
  }
  ADD_FAILURE() << "no record " << a_pName;
  return a_rRecords.front();
}

const char kOneCard[] =
    "[slot s]\n"
    "[card c]\nmodel = PXIe-6550\nslot = s\nserial = 1234ABCD\n"
    "[port p1]\ncard = c\nnumber = 1\nspeed = 8 GT/s\ncable = h\n"
    "[chassis h]\ncontroller = PXI-4130\nspeed = 5GT\n";

}  // namespace

TEST(LabRecords, DefaultLabIsTheDemoSystemAsHardware) {
  cSystemText l_Text;
  std::vector<qvlab_function> l_Records;
  std::string l_Error;
  ASSERT_TRUE(l_Text.load(QVZ_SOURCE_DIR "/examples/systems/kernel/lab.ini", l_Error)) << l_Error;
  ASSERT_TRUE(buildLabRecords(l_Text, l_Records, l_Error)) << l_Error;

  // The module takes records parents first, with unique names that fit.
  std::set<std::string> l_Names;
  for (size_t l_Index = 0; l_Index < l_Records.size(); ++l_Index) {
    EXPECT_LT(l_Records[l_Index].parent, int32_t(l_Index)) << l_Records[l_Index].name;
    EXPECT_TRUE(l_Names.insert(l_Records[l_Index].name).second) << l_Records[l_Index].name;
  }

  const qvlab_function& l_rCard = named(l_Records, "card0.fn");
  EXPECT_EQ(l_rCard.vendor, 0x1F3C);
  EXPECT_EQ(l_rCard.device, 0x5A30);
  EXPECT_EQ(l_rCard.subsystem_device, 0x5A31);
  EXPECT_EQ(l_rCard.flags & (QVLAB_FN_CARD | QVLAB_FN_DSN), QVLAB_FN_CARD | QVLAB_FN_DSN);
  EXPECT_EQ(l_rCard.dsn, 0x01A2B3C4U);
  EXPECT_EQ(l_rCard.jedec_id[0], 0x9D);
  EXPECT_EQ(l_rCard.jedec_id[2], 0x17);
  EXPECT_EQ(l_rCard.flash_size, 8U << 20);
  EXPECT_EQ(l_rCard.factory_version, 0x100U);
  // Only the card function carries the subsystem the driver binds.
  EXPECT_EQ(named(l_Records, "card0").subsystem_device, 0);
  EXPECT_EQ(named(l_Records, "card0.bridge").subsystem_device, 0);

  // Ports 1-4 are the first four devices below the upstream port, each built x4.
  const char* const l_apPorts[] = {"port1", "port2", "port3", "port4"};
  for (unsigned l_Number = 0; l_Number < 4; ++l_Number) {
    const qvlab_function& l_rPort = named(l_Records, l_apPorts[l_Number]);
    EXPECT_EQ(l_rPort.devfn, l_Number << 3);
    EXPECT_EQ(l_rPort.port_number, l_Number + 1);
    EXPECT_EQ(l_rPort.max_width, 4);
    EXPECT_EQ(l_rPort.pcie_type, QVLAB_PCIE_DOWNSTREAM);
  }
  EXPECT_FALSE(named(l_Records, "port4").flags & QVLAB_FN_LINK_UP);
  EXPECT_TRUE(named(l_Records, "port3").flags & QVLAB_FN_LINK_UP);
  EXPECT_EQ(named(l_Records, "port3").speed, 1);
  EXPECT_EQ(named(l_Records, "port1").speed, 2);
  // Both ends of a cable report the trained link.
  EXPECT_EQ(named(l_Records, "chassis3").speed, 1);
  EXPECT_EQ(std::string(l_Records[size_t(named(l_Records, "chassis3").parent)].name), "port3");

  // A two-function controller: its bridges at functions 0 and 2 of one device.
  EXPECT_EQ(named(l_Records, "chassis4.bus").devfn, 2);
  EXPECT_EQ(named(l_Records, "chassis4.fn").device, 0x5A02);
  EXPECT_EQ(named(l_Records, "card1").subsystem_device, 0x5A13);
  EXPECT_EQ(named(l_Records, "card1.port1").devfn, 4 << 3);

  // Flash commands name a card; the lab finds the function with the flash.
  const qvlab_function* l_pFlash = findFlashRecord(l_Records, "card0");
  ASSERT_NE(l_pFlash, nullptr);
  EXPECT_STREQ(l_pFlash->name, "card0.fn");
  EXPECT_EQ(findFlashRecord(l_Records, "card1"), nullptr);
}

TEST(LabRecords, LinkValuesFollowBothEnds) {
  std::vector<qvlab_function> l_Records;
  std::string l_Error;
  ASSERT_TRUE(build(kOneCard, l_Records, l_Error)) << l_Error;
  // Port built for 8 GT/s, controller for 5 GT/s: the link trains at 5 GT/s.
  EXPECT_EQ(named(l_Records, "p1").max_speed, 3);
  EXPECT_EQ(named(l_Records, "p1").speed, 2);
  EXPECT_EQ(named(l_Records, "p1").width, 4);
  // Ports without a section exist, uncabled.
  EXPECT_FALSE(named(l_Records, "c.port2").flags & QVLAB_FN_LINK_UP);

  EXPECT_FALSE(build(std::string(kOneCard) +
                         "[port p2]\ncard = c\nnumber = 2\nwidth = 2\ncable = h2\nlink_width = 4\n"
                         "[chassis h2]\ncontroller = PXI-4125\n",
                     l_Records, l_Error));
  EXPECT_NE(l_Error.find("wider or faster"), std::string::npos) << l_Error;
}

TEST(LabRecords, FaultsNameTheLine) {
  struct sCase {
    const char* m_pAppend;
    const char* m_pExpected;
  };
  const sCase l_aCases[] = {
      {"slot3 = ZEL-7\nspeeed = 5GT\n", "line 15: [chassis h] has no key \"speeed\""},
      {"[port p2]\ncard = c\nnumber = 2\ncable = h\n", "which another port is cabled to"},
      {"[port p2]\ncard = c\nnumber = 1\n", "port 1 of \"c\" a second time"},
      {"[port p2]\ncard = c\nnumber = 5\n", "\"number\" is not a number from 0 to 4"},
      {"[card d]\nmodel = PXIe-6550\nslot = nowhere\n", "which no [slot] section describes"},
      {"[chassis h2]\ncontroller = PXI-4130\n", "[chassis h2] is cabled to no port"},
      {"[port p2]\ncard = c\nnumber = 2\nspeed = 7\n", "speed code 1-6"},
      {"[slot s]\n", "[slot s] is given twice"},
      {"[card c2]\nmodel = PXIe-6550\nslot = s\n", "holds a card already"},
      {"[chassis h2\n", "line 14: a section header ends with ']'"},
      {"[chassis h2]\nwidth = 4\nwidth = 2\n", "line 16: \"width\" given twice"},
  };
  for (const sCase& l_rCase : l_aCases) {
    std::vector<qvlab_function> l_Records;
    std::string l_Error;
    EXPECT_FALSE(build(std::string(kOneCard) + l_rCase.m_pAppend, l_Records, l_Error))
        << l_rCase.m_pAppend;
    EXPECT_NE(l_Error.find(l_rCase.m_pExpected), std::string::npos) << l_Error;
  }
}
