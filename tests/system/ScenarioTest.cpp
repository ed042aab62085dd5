// SPDX-License-Identifier: LGPL-2.1-or-later
// Machines whose difference lies in the process environment, one scenario
// per test run (see CMakeLists.txt): no PCI bridge library, a PCI bridge
// library that lacks an entry point, and a path table that failed to build.
#include <cstdlib>

#include "SimMachine.h"

namespace systest {
namespace {

class Scenario : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(cardSystem());
    writeControllerFile("[c]\nVendorName = V\nModelName = Chassis\nSlotPath = MR00:E0\n");
  }
};

// The list opening fails with the binding's code although a driver interface
// and a controller file are there, and leaves both outputs alone.
TEST_F(Scenario, WithoutAUsableBridgeLibraryTheListOpeningFails) {
  uint32_t l_Count = 77;
  void* l_pList = &l_Count;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_Count, 77u);
  EXPECT_EQ(l_pList, &l_Count);
  // Nothing stays behind: a second attempt fails the same way.
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), QVZEL_ERR_INVALID_PARAMETER);
}

// Without a usable path table there is no controller file, but the table's
// devices are still listed.
TEST_F(Scenario, AFailedPathTableMeansNoControllerFile) {
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{"QV PXIe-6550"}));
}

}  // namespace
}  // namespace systest
