// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated PCI bridge library's reading of system descriptions, seen
// through the binding as the library sees it.
#include <gtest/gtest.h>

#include "SimPciBridge.h"
#include "TempDir.h"
#include "pcibridge/cPciBrdDynLib.h"
#include "qvpcibrd.h"
#include "status/StatusCodes.h"

using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdDynLib;

namespace {

int32_t openWith(const std::string& a_rDescription) {
  qvztest::cSimSystem l_System(a_rDescription);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  const int32_t l_Result = l_Lib.OpenSession(0, &l_Session);
  if (l_Result >= 0) l_Lib.CloseSession(l_Session);
  return l_Result;
}

TEST(SimDescription, BrokenDescriptionsRefuseTheSession) {
  const char* const l_Broken[] = {
      "device = 1\n",                                                 // key outside a section
      "[bridge a]\nbus = 0\nfunction = 0\n",                          // no device
      "[bridge a]\nbus = 0\ndevice = 32\nfunction = 0\n",             // device out of range
      "[bridge a]\nbus = 0\ndevice = 08\nfunction = 0x\n",            // not a number
      "[bridge a]\ndevice = 1\nfunction = 0\n",                       // neither bus nor parent
      "[bridge a]\nbus = 0\nparent = b\ndevice = 1\nfunction = 0\n",  // both
      "[bridge a]\nparent = b\ndevice = 1\nfunction = 0\n",           // unknown parent
      "[bridge a]\nparent = b\ndevice = 1\nfunction = 0\nsecondary = 1\n"
      "[bridge b]\nparent = a\ndevice = 1\nfunction = 0\nsecondary = 2\n",  // cycle
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\n"
      "[bridge b]\nparent = a\ndevice = 1\nfunction = 0\n",  // parent without secondary
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\n[bridge a]\nbus = 1\ndevice = 1\nfunction = "
      "0\n",
      "[pcibrd]\nfail.GetBridgeIDs = -1\n",           // misspelt entry point
      "[pcibrd]\nfail.GetAttributeU32.width = -1\n",  // bad qualifier
      "[pcibrd]\nquirk.lists = sometimes\n",
      "[bridge a\nbus = 0\n",                                             // unclosed header
      "[bridge]\nbus = 0\ndevice = 1\nfunction = 0\n",                    // bridge without name
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\nlink.speed = 8\n",  // no built-for width
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\nlink.max_width = 4\nlink.width = 8\n",
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\nlink.max_width = 4\nlink.speed = 3\n",
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\nlink.max_width = 4\nattr.0x20000C00 = 1\n",
  };
  for (const char* l_pText : l_Broken) {
    EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, openWith(l_pText)) << l_pText;
  }
  EXPECT_EQ(0, openWith(""));

  setenv("QVPCIBRD_SYSTEM", "/nonexistent/system.ini", 1);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = 5;
  EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Lib.OpenSession(0, &l_Session));
  EXPECT_EQ(QVPCIBRD_NO_SESSION, l_Session);
  unsetenv("QVPCIBRD_SYSTEM");
}

TEST(SimDescription, OtherKindsAndKeysAreLeftToOtherReaders) {
  EXPECT_EQ(0, openWith("# a host\n; comment\n"
                        "[interface fpga]\nclass = nQVZEL_1_0_Cyclone4UpstreamZEL\nbus = 5\n"
                        "[bridge a]\nbus = 0\ndevice = 0x1F\nfunction = 7\nlabel = root port\n"));
}

// Without a description the machine comes from sysfs: here an empty root.
TEST(SimDescription, WithoutDescriptionAnEmptySysfsIsAnEmptyMachine) {
  unsetenv("QVPCIBRD_SYSTEM");
  const cTempDir l_Root;
  ASSERT_FALSE(l_Root.Path().empty());
  setenv("QVPCIBRD_SYSFS_ROOT", l_Root.Path().c_str(), 1);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  uint32_t l_Count = 0;
  EXPECT_EQ(0, l_Lib.GetRootBuses(l_Session, nullptr, &l_Count));
  EXPECT_EQ(0u, l_Count);
  EXPECT_EQ(0, l_Lib.CloseSession(l_Session));
  unsetenv("QVPCIBRD_SYSFS_ROOT");
}

TEST(SimDescription, IdentifierSearchMatchesGivenIdentifiersOnly) {
  qvztest::cSimSystem l_System(
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\nvendor_id = 0x12D8\ndevice_id = 0xE112\n"
      "subsystem_vendor_id = 0x1F3C\nsubsystem_id = 0x4125\n"
      "[bridge b]\nbus = 0\ndevice = 2\nfunction = 0\nvendor_id = 0x12D8\ndevice_id = 0xE112\n"
      "subsystem_vendor_id = 0x1F3C\nsubsystem_id = 0x4130\n");
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  const uint16_t l_Vendor = 0x12D8, l_Device = 0xE112, l_SsVendor = 0x1F3C, l_Ss = 0x4130;
  uint32_t l_Count = 0;
  EXPECT_EQ(qvstatus::kPciBrdBufferTooSmall,
            l_Lib.FindBridgesByPciIds(l_Session, &l_Vendor, &l_Device, nullptr, nullptr, nullptr,
                                      &l_Count));
  EXPECT_EQ(2u, l_Count);
  uint32_t l_Refs[2] = {};
  l_Count = 2;
  EXPECT_EQ(0, l_Lib.FindBridgesByPciIds(l_Session, &l_Vendor, &l_Device, &l_SsVendor, &l_Ss,
                                         l_Refs, &l_Count));
  EXPECT_EQ(1u, l_Count);
  uint8_t l_Dev = 0;
  EXPECT_EQ(0, l_Lib.GetBridgeAddress(l_Session, l_Refs[0], nullptr, &l_Dev, nullptr));
  EXPECT_EQ(2, l_Dev);
  const uint16_t l_Zero = 0;
  l_Count = 0;
  EXPECT_EQ(0, l_Lib.FindBridgesByPciIds(l_Session, &l_Zero, &l_Zero, nullptr, nullptr, nullptr,
                                         &l_Count));
  EXPECT_EQ(0u, l_Count);
  l_Lib.CloseSession(l_Session);
}

// A link described as hardware answers the link attributes as the sysfs
// backend does: the built-for width always, the live link down without a cable.
TEST(SimDescription, LinksAnswerTheBuiltForWidthAndTheLiveLink) {
  qvztest::cSimSystem l_System(
      "[bridge a]\nbus = 0\ndevice = 1\nfunction = 0\n"
      "link.max_width = 8\nlink.width = 4\nlink.speed = 16\n"
      "[bridge b]\nbus = 0\ndevice = 2\nfunction = 0\n"
      "link.max_width = 4\nlink.speed = 8\nlink.cabled = no\n");
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  auto l_Read = [&](uint32_t a_Ref, uint32_t a_Id) {
    uint32_t l_Value = 0xDEAD;
    EXPECT_EQ(0, l_Lib.GetAttributeU32(l_Session, a_Ref, a_Id, &l_Value));
    return l_Value;
  };
  EXPECT_EQ(8u, l_Read(0x1000, QVPCIBRD_ATTR_LINK_WIDTH));
  EXPECT_EQ(0x44u, l_Read(0x1000, QVPCIBRD_ATTR_LINK_STATUS));
  EXPECT_EQ(4u, l_Read(0x1000, QVPCIBRD_ATTR_LINK_SPEED));
  EXPECT_EQ(4u, l_Read(0x1001, QVPCIBRD_ATTR_LINK_WIDTH));
  EXPECT_EQ(0x01u, l_Read(0x1001, QVPCIBRD_ATTR_LINK_STATUS));
  EXPECT_EQ(1u, l_Read(0x1001, QVPCIBRD_ATTR_LINK_SPEED));
  l_Lib.CloseSession(l_Session);
}

// The example systems under examples/systems stay loadable.
TEST(SimDescription, ExampleSystemsLoad) {
  const std::string l_Examples = std::string(QVZ_SOURCE_DIR) + "/examples/systems/";
  setenv("QVPCIBRD_SYSTEM", (l_Examples + "faults.ini").c_str(), 1);
  {
    JsonStatus l_Status;
    cPciBrdDynLib l_Lib(l_Status);
    int32_t l_Session = -1;
    EXPECT_EQ(0, l_Lib.OpenSession(0, &l_Session));
    l_Lib.CloseSession(l_Session);
  }
  setenv("QVPCIBRD_SYSTEM", (l_Examples + "host-fourport-chassis.ini").c_str(), 1);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  const uint16_t l_Ids[4] = {0x12D8, 0xE112, 0x1F3C, 0x4130};
  uint32_t l_Chassis = 0, l_Count = 1;
  EXPECT_EQ(0, l_Lib.FindBridgesByPciIds(l_Session, &l_Ids[0], &l_Ids[1], &l_Ids[2], &l_Ids[3],
                                         &l_Chassis, &l_Count));
  EXPECT_EQ(1u, l_Count);
  char l_Text[32] = {};
  uint32_t l_Size = sizeof l_Text;
  using tGetText = int32_t (*)(int32_t, uint32_t, char*, uint32_t*);
  void* l_pHandle = dlopen("libqvpcibrd.so.1", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(nullptr, l_pHandle);
  auto l_pGetText = reinterpret_cast<tGetText>(dlsym(l_pHandle, "QvPciBrd_GetBridgeSlotPath"));
  EXPECT_EQ(0, l_pGetText(l_Session, l_Chassis, l_Text, &l_Size));
  EXPECT_STREQ("MR00:00,00,00,E0", l_Text);
  dlclose(l_pHandle);
  l_Lib.CloseSession(l_Session);
  unsetenv("QVPCIBRD_SYSTEM");
}

}  // namespace
