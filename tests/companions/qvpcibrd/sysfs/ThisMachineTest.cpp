// SPDX-License-Identifier: LGPL-2.1-or-later
// The sysfs backend on this machine's own /sys: whatever the hardware, the
// session opens, every PCI-to-PCI bridge is served, and every slot path the
// backend writes parses back to the same path and leads back to its bridge.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "SysfsSupport.h"
#include "config/cSlotPath.h"
#include "status/Status.h"

using nQvPxiDriverTools_1_0::cSlotPath;
using qvztest::cPciBrd;
using qvztest::cSession;
using qvztest::cSysfsRoot;

namespace {

// Domain-0 functions as "BB:DD.F", with their class files' texts.
std::vector<std::pair<std::string, std::string>> listedFunctions() {
  std::vector<std::pair<std::string, std::string>> l_Functions;
  DIR* l_pDir = opendir("/sys/bus/pci/devices");
  if (!l_pDir) return l_Functions;
  while (const dirent* l_pEntry = readdir(l_pDir)) {
    const std::string l_Name = l_pEntry->d_name;
    if (l_Name.compare(0, 5, "0000:") != 0) continue;
    std::string l_Class;
    std::ifstream("/sys/bus/pci/devices/" + l_Name + "/class") >> l_Class;
    l_Functions.emplace_back(l_Name.substr(5), l_Class);
  }
  closedir(l_pDir);
  return l_Functions;
}

TEST(ThisMachine, EveryBridgeHasAParsableSlotPath) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cSysfsRoot l_Env("");
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());

  const std::vector<std::string> l_Served = l_Session.allBridges();
  const auto l_Functions = listedFunctions();
  for (const auto& l_rFunction : l_Functions) {
    if (l_rFunction.second.compare(0, 6, "0x0604") != 0) continue;
    EXPECT_NE(l_Served.end(), std::find(l_Served.begin(), l_Served.end(), l_rFunction.first))
        << l_rFunction.first << " is a PCI-to-PCI bridge";
  }
  const std::vector<uint32_t> l_Roots = l_Session.rootBuses();
  EXPECT_EQ(l_Functions.empty(), l_Roots.empty()) << "PCI functions sit on a root bus";
  for (const std::string& l_rBridge : l_Served) {
    const tQvPciBrdBridgeRef l_Ref = l_Session.at(l_rBridge);
    const std::string l_Text = l_Session.slotPath(l_Ref);
    Status l_Status;
    const cSlotPath l_Path(l_Text.c_str(), l_Status);
    std::string l_Again;
    l_Path.GetText(l_Again, l_Status);
    EXPECT_EQ(0, l_Status.code) << l_Text;
    EXPECT_EQ(l_Text, l_Again);
    EXPECT_NE(l_Roots.end(), std::find(l_Roots.begin(), l_Roots.end(), l_Path.GetRootBus()))
        << l_Text << " starts on a root bus";
    unsigned l_Device = 0, l_Function = 0;
    ASSERT_EQ(2, std::sscanf(l_rBridge.c_str(), "%*x:%x.%x", &l_Device, &l_Function));
    EXPECT_EQ(static_cast<int>(l_Device << 3 | l_Function), l_Path.GetFrontDeviceFunction(l_Status))
        << l_Text << " starts at the bridge itself";
    tQvPciBrdBridgeRef l_Found = 0;
    EXPECT_EQ(0, l_Lib.FindBridgeBySlotPath(l_Session.handle(), l_Text.c_str(), &l_Found));
    EXPECT_EQ(l_Ref, l_Found) << l_Text;
  }
}

}  // namespace
