// Sessions of the sysfs backend: one snapshot per session, the root
// directory variable, the choice between simulated and sysfs backends, and
// the refusal of everything that would write to hardware.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "SysfsSupport.h"

using qvztest::cPciBrd;
using qvztest::cSession;
using qvztest::cSysfsRoot;
using qvztest::treeRoot;
using tAddresses = std::vector<std::string>;

namespace {

class cScratch {
 public:
  cScratch() {
    char l_Template[] = "/tmp/qvz-sysfs-XXXXXX";
    const char* l_pDir = mkdtemp(l_Template);
    m_Path = l_pDir ? l_pDir : "";
  }
  ~cScratch() { remove(); }
  cScratch(const cScratch&) = delete;
  cScratch& operator=(const cScratch&) = delete;
  const std::string& path() const { return m_Path; }
  void remove() const {
    if (!m_Path.empty()) std::system(("rm -rf '" + m_Path + "'").c_str());
  }

 private:
  std::string m_Path;
};

// A private copy of a recorded tree, made by the generator.
bool makeTree(const char* a_pName, const std::string& a_rOut) {
  const std::string l_Command = std::string(QVZ_SYSFS_MKTREE) + " '" + QVZ_SYSFS_DESCRIPTIONS +
                                "/" + a_pName + ".tree' '" + a_rOut + "'";
  return std::system(l_Command.c_str()) == 0;
}

TEST(SysfsSession, AnswersFromItsSnapshotAfterTheTreeIsGone) {
  cPciBrd l_Lib;
  ASSERT_TRUE(l_Lib.ready());
  cScratch l_Scratch;
  const std::string l_Root = l_Scratch.path() + "/sys";
  ASSERT_TRUE(makeTree("pxi", l_Root));
  cSysfsRoot l_Env(l_Root);
  cSession l_Session(l_Lib);
  ASSERT_EQ(0, l_Session.openResult());
  l_Scratch.remove();

  EXPECT_EQ("MR00:00,00,00,E0", l_Session.slotPath(l_Session.at("04:00.0")));
  EXPECT_EQ(3, l_Session.attribute("03:02.0", 0x20000300));
  EXPECT_EQ(4, l_Session.attribute("03:01.0", 0x20000B00));
  EXPECT_EQ((std::vector<uint32_t>{0x00, 0x40, 0x80}), l_Session.rootBuses());

  // A new session reads again, and finds no root directory now.
  tQvPciBrdSession l_Second = 7;
  EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Lib.OpenSession(0, &l_Second));
  EXPECT_EQ(QVPCIBRD_NO_SESSION, l_Second);
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
  cScratch l_Scratch;
  cSysfsRoot l_Env(l_Scratch.path());
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
  cScratch l_Scratch;
  const std::string l_System = l_Scratch.path() + "/system.ini";
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
            l_Lib.SetAttributeU32(l_Session.handle(), l_Port, 0x20000B00, 16));
  EXPECT_EQ(4, l_Session.attribute("03:00.0", 0x20000B00)) << "the value is unchanged";
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
