// SPDX-License-Identifier: LGPL-2.1-or-later
// Sessions of the sysfs backend: one snapshot per session, the root
// directory variable, the choice between simulated and sysfs backends, and
// the refusal of everything that would write to hardware.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "SysfsSupport.h"
#include "TempDir.h"
#include "TimeBoundChild.h"

using qvztest::cPciBrd;
using qvztest::cSession;
using qvztest::cSysfsRoot;
using qvztest::treeRoot;
using tAddresses = std::vector<std::string>;

namespace {

// A private tree made by the generator from a description file.
bool makeTree(const std::string& a_rDescription, const std::string& a_rOut) {
  const std::string l_Command =
      std::string(QVZ_SYSFS_MKTREE) + " '" + a_rDescription + "' '" + a_rOut + "'";
  return std::system(l_Command.c_str()) == 0;
}

// The tree and the identifiers are read when the session opens; a bridge's
// link files and configuration space when a value needs them, and then kept.
TEST(SysfsSession, AnswersFromItsSnapshotAfterTheTreeIsGone) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cTempDir l_Scratch;
  const std::string l_Root = l_Scratch.Path() + "/sys";
  ASSERT_TRUE(makeTree(std::string(QVZ_SYSFS_DESCRIPTIONS) + "/pxi.tree", l_Root));
  cSysfsRoot l_Env(l_Root);
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());
  EXPECT_EQ(4, l_Session.attribute("03:02.0", QVPCIBRD_ATTR_LINK_WIDTH));
  EXPECT_EQ(3, l_Session.attribute("03:02.0", QVPCIBRD_ATTR_PORT_NUMBER));
  EXPECT_EQ(0x01, l_Session.attribute("03:02.0", QVPCIBRD_ATTR_LINK_STATUS));
  l_Scratch.Remove();

  EXPECT_EQ("MR00:00,00,00,E0", l_Session.slotPath(l_Session.at("04:00.0")));
  EXPECT_EQ("111d:808f:1f3c:5a31", l_Session.ids("03:01.0"));
  EXPECT_EQ(3, l_Session.attribute("03:02.0", QVPCIBRD_ATTR_PORT_NUMBER));
  EXPECT_EQ(0x01, l_Session.attribute("03:02.0", QVPCIBRD_ATTR_LINK_STATUS));
  EXPECT_EQ(QVPCIBRD_ERR_ATTR_NOT_SERVED, l_Session.attribute("03:01.0", QVPCIBRD_ATTR_LINK_WIDTH))
      << "first asked for too late";
  EXPECT_EQ((std::vector<uint32_t>{0x00, 0x40, 0x80}), l_Session.rootBuses());

  // A new session reads again, and finds no root directory now.
  tQvPciBrdSession l_Second = 7;
  EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Lib.OpenSession(0, &l_Second));
  EXPECT_EQ(QVPCIBRD_NO_SESSION, l_Second);
}

// Reading "config" wakes a powered-down function, so the backend reads it
// for served functions only. Here an endpoint's "config" is a named pipe
// that would block the reader: a session opening that touched it would
// never return, and the alarm ends the child process.
TEST(SysfsSession, LeavesTheConfigurationOfOtherFunctionsAlone) {
  cTempDir l_Scratch;
  const std::string l_Description = l_Scratch.Path() + "/gpu.tree";
  std::ofstream(l_Description) << "root pci0000:00\n"
                                  "fn pci0000:00/0000:00:01.0 class=0x060400 ids=8086:1901 bus=01 "
                                  "port=3\n"
                                  "fn pci0000:00/0000:00:01.0/0000:01:00.0 class=0x030000 "
                                  "ids=10de:1c82 config=fifo\n";
  const std::string l_Root = l_Scratch.Path() + "/sys";
  ASSERT_TRUE(makeTree(l_Description, l_Root));
  const pid_t l_Child = fork();
  ASSERT_NE(-1, l_Child);
  if (l_Child == 0) {
    alarm(10);
    cPciBrd l_Lib;
    cSysfsRoot l_Env(l_Root);
    cSession l_Session(l_Lib);
    const bool l_Ok = l_Lib.ready() && l_Session.openResult() == 0 &&
                      l_Session.attribute("00:01.0", QVPCIBRD_ATTR_PORT_NUMBER) == 3;
    _exit(l_Ok ? 0 : 1);
  }
  int l_Status = 0;
  ASSERT_EQ(l_Child, waitpid(l_Child, &l_Status, 0));
  ASSERT_TRUE(WIFEXITED(l_Status)) << "the session opening blocked on the endpoint's config";
  EXPECT_EQ(0, WEXITSTATUS(l_Status));
}

// Every file the backend reads may be something else than an attribute: a
// named pipe in place of a served bridge's modalias, identifier, link and
// configuration files would block an open or read for good. Such files are
// not read; the bridge is served with what is left, its neighbour as usual.
TEST(SysfsSession, SpecialFilesInPlaceOfAttributesAreNotRead) {
  cTempDir l_Scratch;
  const std::string l_Description = l_Scratch.Path() + "/pipes.tree";
  std::ofstream(l_Description)
      << "root pci0000:00\n"
         "fn pci0000:00/0000:00:1c.0 class=0x060400 ids=8086:a33c bus=02 width=4 "
         "speed=8.0_GT/s_PCIe port=5 fifo=modalias,class,vendor,device,subsystem_vendor,"
         "subsystem_device,current_link_width,current_link_speed,max_link_width,config\n"
         "fn pci0000:00/0000:00:1c.0/0000:02:00.0 class=0x060400 ids=1f3c:5a30 bus=03 width=4 "
         "speed=2.5_GT/s_PCIe port=1\n";
  const std::string l_Root = l_Scratch.Path() + "/sys";
  ASSERT_TRUE(makeTree(l_Description, l_Root));
  const int l_Result = qvztest::runTimeBound(10, [&] {
    cPciBrd l_Lib;
    if (!l_Lib.ready()) return 1;
    cSysfsRoot l_Env(l_Root);
    cSession l_Session(l_Lib);
    if (l_Session.openResult() != 0) return 2;
    if (l_Session.allBridges() != tAddresses{"00:1c.0", "02:00.0"}) return 3;
    if (l_Session.ids("00:1c.0") != "0000:0000:0000:0000") return 4;
    for (uint32_t l_Id : {QVPCIBRD_ATTR_PORT_NUMBER, QVPCIBRD_ATTR_LINK_STATUS,
                          QVPCIBRD_ATTR_LINK_WIDTH, QVPCIBRD_ATTR_LINK_SPEED}) {
      if (l_Session.attribute("00:1c.0", l_Id) != QVPCIBRD_ERR_ATTR_NOT_SERVED) return 5;
    }
    if (l_Session.attribute("02:00.0", QVPCIBRD_ATTR_PORT_NUMBER) != 1) return 6;
    return ::testing::Test::HasFailure() ? 7 : 0;
  });
  EXPECT_NE(-1, l_Result) << "a read blocked on a named pipe";
  EXPECT_EQ(0, l_Result);
}

TEST(SysfsSession, EachSessionKeepsItsOwnMachine) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cSysfsRoot l_Env(treeRoot("laptop"));
  cSession l_Laptop(l_Lib);
  setenv("QVPCIBRD_SYSFS_ROOT", treeRoot("pxi").c_str(), 1);
  cSession l_Pxi(l_Lib);
  ASSERT_EQ(0, l_Laptop.openResult());
  ASSERT_EQ(0, l_Pxi.openResult());
  EXPECT_EQ((std::vector<uint32_t>{0x00}), l_Laptop.rootBuses());
  EXPECT_EQ((std::vector<uint32_t>{0x00, 0x40, 0x80}), l_Pxi.rootBuses());
  EXPECT_EQ("00:1c.4", l_Laptop.parentOfBus(3));
  EXPECT_EQ("02:00.0", l_Pxi.parentOfBus(3));
}

TEST(SysfsSession, RootWithoutPciIsAnEmptyMachine) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cTempDir l_Scratch;
  cSysfsRoot l_Env(l_Scratch.Path());
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());
  EXPECT_EQ((tAddresses{}), l_Session.allBridges());
  EXPECT_EQ((std::vector<uint32_t>{}), l_Session.rootBuses());
  tQvPciBrdBridgeRef l_Ref = 0;
  EXPECT_EQ(QVPCIBRD_ERR_NOT_FOUND, l_Lib.FindBridgeByAddress(l_Session.handle(), 0, 0, 0, &l_Ref));
}

TEST(SysfsSession, MissingRootFailsTheOpening) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cSysfsRoot l_Env("/nonexistent/sys");
  tQvPciBrdSession l_Session = 3;
  EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Lib.OpenSession(0, &l_Session));
  EXPECT_EQ(QVPCIBRD_NO_SESSION, l_Session);
  EXPECT_EQ(-313007, QVPCIBRD_ERR_SYSTEM_DESCRIPTION);
}

TEST(SysfsSession, ANamedSimulatedSystemWins) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cTempDir l_Scratch;
  const std::string l_System = l_Scratch.Path() + "/system.ini";
  std::ofstream(l_System) << "[bridge only]\nbus = 0x33\ndevice = 1\nfunction = 0\n";
  cSysfsRoot l_Env(treeRoot("pxi"));
  setenv("QVPCIBRD_SYSTEM", l_System.c_str(), 1);
  {
    cSession l_Session(l_Lib);
    ASSERT_EQ(0, l_Session.openResult());
    EXPECT_EQ((tAddresses{"33:01.0"}), l_Session.allBridges());
  }
  // An empty variable names no system.
  setenv("QVPCIBRD_SYSTEM", "", 1);
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());
  EXPECT_EQ(12u, l_Session.allBridges().size());
  unsetenv("QVPCIBRD_SYSTEM");
}

TEST(SysfsSession, WritesAreRefused) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cSysfsRoot l_Env(treeRoot("pxi"));
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());
  const tQvPciBrdBridgeRef l_Port = l_Session.at("03:00.0");
  EXPECT_EQ(-313009, QVPCIBRD_ERR_READ_ONLY);
  EXPECT_EQ(QVPCIBRD_ERR_READ_ONLY,
            l_Lib.SetAttributeU32(l_Session.handle(), l_Port, QVPCIBRD_ATTR_LINK_WIDTH, 16));
  EXPECT_EQ(4, l_Session.attribute("03:00.0", QVPCIBRD_ATTR_LINK_WIDTH))
      << "the value is unchanged";
  EXPECT_EQ(QVPCIBRD_ERR_READ_ONLY,
            l_Lib.SetAttributeU32(l_Session.handle(), l_Port, 0x20001234, 1));
  EXPECT_EQ(-313004, l_Session.attribute("03:00.0", 0x20001234)) << "and nothing new appears";

  const uint8_t l_Image[4] = {1, 2, 3, 4};
  EXPECT_EQ(QVPCIBRD_ERR_READ_ONLY, l_Lib.EepromUpdate(l_Session.handle(), l_Port, 0x111D, 0x808F,
                                                       1, 0, sizeof l_Image, l_Image));
  EXPECT_EQ(
      QVPCIBRD_ERR_INVALID_PARAMETER,
      l_Lib.EepromUpdate(l_Session.handle(), l_Port, 0x12D8, 0xE112, 1, 0, sizeof l_Image, l_Image))
      << "an image for another bridge is refused before anything else";
}

}  // namespace
