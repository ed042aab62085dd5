// SPDX-License-Identifier: LGPL-2.1-or-later
// The sysfs backend against recorded trees of two machines (descriptions in
// trees/*.tree). Every expected value below was read off the description by
// hand: addresses, slot paths, parents, identifiers and link values.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "SysfsSupport.h"

using qvztest::cPciBrd;
using qvztest::cSession;
using qvztest::cSysfsRoot;
using qvztest::treeRoot;
using tAddresses = std::vector<std::string>;

namespace {

constexpr uint32_t kPort = QVPCIBRD_ATTR_PORT_NUMBER;
constexpr uint32_t kLinkStatus = QVPCIBRD_ATTR_LINK_STATUS;
constexpr uint32_t kWidth = QVPCIBRD_ATTR_LINK_WIDTH;
constexpr uint32_t kSpeed = QVPCIBRD_ATTR_LINK_SPEED;
constexpr int64_t kNotServed = QVPCIBRD_ERR_ATTR_NOT_SERVED;

class RecordedTree : public ::testing::Test {
 protected:
  void open(const char* a_pTree) {
    ASSERT_TRUE(m_Lib.ready());
    m_pRoot.reset(new cSysfsRoot(treeRoot(a_pTree)));
    m_pSession.reset(new cSession(m_Lib));
    ASSERT_EQ(0, m_pSession->openResult());
  }
  const cSession& session() const { return *m_pSession; }

  // Each bridge's slot path, and the way back from the path to the bridge.
  void expectSlotPaths(const std::map<std::string, std::string>& a_rExpected) {
    for (const auto& l_rEntry : a_rExpected) {
      const tQvPciBrdBridgeRef l_Ref = session().at(l_rEntry.first);
      EXPECT_EQ(l_rEntry.second, session().slotPath(l_Ref)) << l_rEntry.first;
      tQvPciBrdBridgeRef l_Found = 0;
      EXPECT_EQ(0,
                m_Lib.FindBridgeBySlotPath(session().handle(), l_rEntry.second.c_str(), &l_Found));
      EXPECT_EQ(l_rEntry.first, session().address(l_Found));
    }
  }

  cPciBrd m_Lib;
  std::unique_ptr<cSysfsRoot> m_pRoot;
  std::unique_ptr<cSession> m_pSession;
};

TEST_F(RecordedTree, LaptopServesItsBridgesAndLinkFunctionsOnly) {
  open("laptop");
  // Host, ISA and graphics functions, the endpoints and the other vendor's
  // instrument are left out; 05:0f.0 is the link vendor's own instrument.
  EXPECT_EQ((tAddresses{"00:07.0", "00:1c.0", "00:1c.4", "00:1d.0", "03:00.0", "04:00.0", "05:0f.0",
                        "20:00.0", "21:01.0", "21:04.0"}),
            session().allBridges());
  EXPECT_EQ((std::vector<uint32_t>{0x00}), session().rootBuses());
}

TEST_F(RecordedTree, LaptopSlotPathsWalkUpToTheRootBus) {
  open("laptop");
  expectSlotPaths({{"00:07.0", "MR00:38"},
                   {"20:00.0", "MR00:00,38"},
                   {"21:01.0", "MR00:08,00,38"},
                   {"21:04.0", "MR00:20,00,38"},
                   {"00:1c.0", "MR00:E0"},
                   {"00:1c.4", "MR00:E4"},
                   {"03:00.0", "MR00:00,E4"},
                   {"04:00.0", "MR00:00,00,E4"},
                   {"05:0f.0", "MR00:78,00,00,E4"},
                   {"00:1d.0", "MR00:E8"}});
  tQvPciBrdBridgeRef l_Ref = 0;
  EXPECT_EQ(QVPCIBRD_ERR_NOT_FOUND,
            m_Lib.FindBridgeBySlotPath(session().handle(), "MR00:00,E0", &l_Ref))
      << "the wireless card behind 00:1c.0 is not served";
}

TEST_F(RecordedTree, LaptopHierarchy) {
  open("laptop");
  const std::map<std::string, std::string> l_Parents = {
      {"00:07.0", "none"}, {"20:00.0", "00:07.0"}, {"21:01.0", "20:00.0"}, {"21:04.0", "20:00.0"},
      {"00:1c.4", "none"}, {"03:00.0", "00:1c.4"}, {"04:00.0", "03:00.0"}, {"05:0f.0", "04:00.0"}};
  for (const auto& l_rEntry : l_Parents) {
    EXPECT_EQ(l_rEntry.second, session().parent(l_rEntry.first)) << l_rEntry.first;
  }
  EXPECT_EQ((tAddresses{"21:01.0", "21:04.0"}), session().children("20:00.0"));
  EXPECT_EQ((tAddresses{"04:00.0"}), session().children("03:00.0"));
  EXPECT_EQ((tAddresses{}), session().children("00:1d.0")) << "an NVMe drive is no bridge";
  EXPECT_EQ((tAddresses{"00:07.0", "00:1c.0", "00:1c.4", "00:1d.0"}), session().busChildren(0));
  EXPECT_EQ((tAddresses{"21:01.0", "21:04.0"}), session().busChildren(0x21));
  EXPECT_EQ((tAddresses{"05:0f.0"}), session().busChildren(5));
  EXPECT_EQ((tAddresses{}), session().busChildren(0x22));

  EXPECT_EQ("21:01.0", session().parentOfBus(0x22));
  EXPECT_EQ("21:04.0", session().parentOfBus(0x23)) << "a bus with nothing on it";
  EXPECT_EQ("04:00.0", session().parentOfBus(5));
  EXPECT_EQ("00:1c.0", session().parentOfBus(2));
  EXPECT_EQ("none", session().parentOfBus(0));
  EXPECT_EQ("none", session().parentOfBus(0x30));
}

TEST_F(RecordedTree, LaptopIdentifiersComeFromTheIdFiles) {
  open("laptop");
  EXPECT_EQ("12d8:e111:1f3c:4140", session().ids("03:00.0"));
  EXPECT_EQ("104c:8231:1f3c:5a02", session().ids("04:00.0"));
  EXPECT_EQ("8086:1136:2222:1111", session().ids("21:04.0"));
  EXPECT_EQ("1f3c:7001:1f3c:7001", session().ids("05:0f.0"));

  // Searches as discovery makes them: with and without subsystem identifiers.
  const uint16_t l_Ids[4] = {0x12D8, 0xE111, 0x1F3C, 0x4140};
  EXPECT_EQ((tAddresses{"03:00.0"}),
            session().addresses(session().list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
              return m_Lib.FindBridgesByPciIds(session().handle(), &l_Ids[0], &l_Ids[1], &l_Ids[2],
                                               &l_Ids[3], a_pArray, a_pCount);
            })));
  const uint16_t l_Other = 0x4145;
  EXPECT_EQ((tAddresses{}),
            session().addresses(session().list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
              return m_Lib.FindBridgesByPciIds(session().handle(), &l_Ids[0], &l_Ids[1], &l_Ids[2],
                                               &l_Other, a_pArray, a_pCount);
            })));
  const uint16_t l_Vendor = 0x8086, l_Device = 0x1136;
  EXPECT_EQ((tAddresses{"20:00.0", "21:01.0", "21:04.0"}),
            session().addresses(session().list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
              return m_Lib.FindBridgesByPciIds(session().handle(), &l_Vendor, &l_Device, nullptr,
                                               nullptr, a_pArray, a_pCount);
            })));
}

TEST_F(RecordedTree, LaptopLinkValuesWithoutRoot) {
  open("laptop");
  // The width is the one the port is built for; the status shows the link
  // as it trained.
  struct sRow {
    const char* m_pBridge;
    int64_t m_Width, m_Speed, m_Status;
  };
  const sRow l_Rows[] = {
      {"00:07.0", 4, 3, 0x43},  // x4 at 8 GT/s
      {"21:04.0", 4, 1, 0x01},  // an x4 port whose link is down
      {"00:1c.0", 1, 2, 0x12},  // x1 at 5 GT/s
      {"00:1d.0", 4, 4, 0x24},  // an x4 port trained at x2, 16 GT/s
      {"03:00.0", 1, 1, 0x11},
      // A conventional PCI bridge has no link, and its 64 visible bytes of
      // configuration space hold no capability.
      {"04:00.0", kNotServed, kNotServed, kNotServed},
  };
  for (const sRow& l_rRow : l_Rows) {
    EXPECT_EQ(l_rRow.m_Width, session().attribute(l_rRow.m_pBridge, kWidth)) << l_rRow.m_pBridge;
    EXPECT_EQ(l_rRow.m_Speed, session().attribute(l_rRow.m_pBridge, kSpeed)) << l_rRow.m_pBridge;
    EXPECT_EQ(l_rRow.m_Status, session().attribute(l_rRow.m_pBridge, kLinkStatus))
        << l_rRow.m_pBridge;
    // The port number needs the PCI Express capability, beyond 64 bytes.
    EXPECT_EQ(kNotServed, session().attribute(l_rRow.m_pBridge, kPort)) << l_rRow.m_pBridge;
  }
  EXPECT_EQ(kNotServed, session().attribute("00:07.0", 0x20000D00)) << "an unknown attribute";
}

TEST_F(RecordedTree, PxiHostWithFourPortCard) {
  open("pxi");
  EXPECT_EQ((tAddresses{"00:01.0", "00:1c.0", "00:1d.0", "02:00.0", "03:00.0", "03:01.0", "03:02.0",
                        "03:03.0", "03:04.0", "04:00.0", "09:00.0", "80:00.0"}),
            session().allBridges());
  EXPECT_EQ((std::vector<uint32_t>{0x00, 0x40, 0x80}), session().rootBuses());
  EXPECT_EQ((tAddresses{}), session().busChildren(0x40)) << "a root bus with a host bridge only";
  EXPECT_EQ((tAddresses{"00:01.0", "00:1c.0", "00:1d.0"}), session().busChildren(0));
  EXPECT_EQ((tAddresses{"80:00.0"}), session().busChildren(0x80));
  const tAddresses l_Ports = {"03:00.0", "03:01.0", "03:02.0", "03:03.0", "03:04.0"};
  EXPECT_EQ(l_Ports, session().children("02:00.0"));
  EXPECT_EQ(l_Ports, session().busChildren(3));
  EXPECT_EQ((tAddresses{"09:00.0"}), session().children("03:04.0"));
  EXPECT_EQ((tAddresses{}), session().children("04:00.0")) << "the instrument is not served";

  // Four levels from the root port down to the chassis controller.
  EXPECT_EQ("03:00.0", session().parent("04:00.0"));
  EXPECT_EQ("02:00.0", session().parent("03:00.0"));
  EXPECT_EQ("00:1c.0", session().parent("02:00.0"));
  EXPECT_EQ("none", session().parent("00:1c.0"));
  EXPECT_EQ("none", session().parent("80:00.0"));
  EXPECT_EQ("03:04.0", session().parentOfBus(9));
  EXPECT_EQ("04:00.0", session().parentOfBus(5));
  EXPECT_EQ("00:1d.0", session().parentOfBus(0x0A)) << "an empty slot";
  EXPECT_EQ("80:00.0", session().parentOfBus(0x81));
  EXPECT_EQ("none", session().parentOfBus(0x40));

  expectSlotPaths({{"00:01.0", "MR00:08"},
                   {"00:1c.0", "MR00:E0"},
                   {"02:00.0", "MR00:00,E0"},
                   {"03:00.0", "MR00:00,00,E0"},
                   {"03:01.0", "MR00:08,00,E0"},
                   {"03:02.0", "MR00:10,00,E0"},
                   {"03:03.0", "MR00:18,00,E0"},
                   {"03:04.0", "MR00:20,00,E0"},
                   {"09:00.0", "MR00:00,20,00,E0"},
                   {"04:00.0", "MR00:00,00,00,E0"},
                   {"00:1d.0", "MR00:E8"},
                   {"80:00.0", "MR80:00"}});

  EXPECT_EQ("1f3c:5a30:1f3c:5a31", session().ids("09:00.0"));
  EXPECT_EQ("12d8:e112:1f3c:4130", session().ids("04:00.0"));
  EXPECT_EQ("111d:808f:1f3c:5a31", session().ids("03:02.0"));
}

TEST_F(RecordedTree, PxiLinkValuesAsRoot) {
  open("pxi");
  struct sRow {
    const char* m_pBridge;
    int64_t m_Port, m_Width, m_Speed, m_Status;
  };
  const sRow l_Rows[] = {
      {"00:01.0", 2, 16, 3, 0x83},  // an x16 slot trained at x8
      {"00:1c.0", 5, 4, 3, 0x43},
      {"02:00.0", 0, 4, 3, 0x43},
      {"03:00.0", 1, 4, 1, 0x41},
      {"03:01.0", 2, 4, 2, 0x42},
      // Uncabled link ports keep the width they are built for: each still
      // occupies one of the card's four port names.
      {"03:02.0", 3, 4, 1, 0x01},
      {"03:03.0", 4, 4, 1, 0x01},
      {"03:04.0", 5, 1, 1, 0x11},
      {"09:00.0", 0, 1, 1, 0x11},
      {"00:1d.0", 9, 1, 1, 0x01},
      // Powered off: the link files answer, the configuration space reads as all ones.
      {"80:00.0", kNotServed, 8, 1, 0x01},
  };
  for (const sRow& l_rRow : l_Rows) {
    EXPECT_EQ(l_rRow.m_Port, session().attribute(l_rRow.m_pBridge, kPort)) << l_rRow.m_pBridge;
    EXPECT_EQ(l_rRow.m_Width, session().attribute(l_rRow.m_pBridge, kWidth)) << l_rRow.m_pBridge;
    EXPECT_EQ(l_rRow.m_Speed, session().attribute(l_rRow.m_pBridge, kSpeed)) << l_rRow.m_pBridge;
    EXPECT_EQ(l_rRow.m_Status, session().attribute(l_rRow.m_pBridge, kLinkStatus))
        << l_rRow.m_pBridge;
  }
}

TEST_F(RecordedTree, OddCornersOfRealMachines) {
  open("odd");
  // The CardBus bridge has a bus below; the network card behind it, the
  // storage controller and everything outside domain 0 are left out.
  EXPECT_EQ((tAddresses{"00:03.0", "00:04.0", "00:05.0", "00:06.0", "00:07.0", "00:08.0", "00:0a.0",
                        "00:0b.0", "00:0c.0", "00:0d.0", "00:10.0", "00:11.0", "12:00.0"}),
            session().allBridges());
  EXPECT_EQ((std::vector<uint32_t>{0x00}), session().rootBuses());
  EXPECT_EQ("MR00:18", session().slotPath(session().at("00:03.0")))
      << "the host bridge sits below a platform device";

  // Secondary buses from the configuration space, from secondary_bus_number
  // and from pci_bus; none at all without any of them.
  EXPECT_EQ("00:03.0", session().parentOfBus(0x37));
  EXPECT_EQ("00:04.0", session().parentOfBus(0x39));
  EXPECT_EQ("00:06.0", session().parentOfBus(0x0B));
  EXPECT_EQ("00:0a.0", session().parentOfBus(0x0D));
  EXPECT_EQ("00:0b.0", session().parentOfBus(0x0E));
  // A function holding another one is its bridge, whatever its class says.
  EXPECT_EQ("00:10.0", session().parentOfBus(0x12));
  // The secondary bus is the bridge's own, not the virtual bus of the
  // SR-IOV functions beside its physical function.
  EXPECT_EQ("00:11.0", session().parentOfBus(0x14));
  EXPECT_EQ("none", session().parentOfBus(0x15));
  EXPECT_EQ("00:10.0", session().parent("12:00.0"));
  EXPECT_EQ("MR00:00,80", session().slotPath(session().at("12:00.0")));
  for (unsigned l_Bus = 0; l_Bus < 256; ++l_Bus) {
    const std::string l_Parent = session().parentOfBus(static_cast<uint8_t>(l_Bus));
    EXPECT_NE("00:05.0", l_Parent) << "a bridge without a known bus below owns none";
    EXPECT_NE("00:07.0", l_Parent) << "a secondary bus of 0 names no bus";
  }

  // Link values from the configuration space when the link files are
  // missing: the width from Link Capabilities, the status from Link Status.
  EXPECT_EQ(7, session().attribute("00:08.0", kPort));
  EXPECT_EQ(8, session().attribute("00:08.0", kWidth));
  EXPECT_EQ(2, session().attribute("00:08.0", kSpeed));
  EXPECT_EQ(0x82, session().attribute("00:08.0", kLinkStatus));
  // A speed the kernel calls Unknown reads as 0, not as a failure.
  EXPECT_EQ(0, session().attribute("00:0d.0", kSpeed));
  EXPECT_EQ(0, session().attribute("00:0d.0", kLinkStatus));
  // Nothing to read at all.
  for (uint32_t l_Id : {kPort, kWidth, kSpeed, kLinkStatus}) {
    EXPECT_EQ(kNotServed, session().attribute("00:05.0", l_Id)) << std::hex << l_Id;
  }
  // Without modalias, from the files of their own.
  EXPECT_EQ("1f3c:5a02:1f3c:5a02", session().ids("00:0c.0"));
  EXPECT_EQ("1234:000b:0000:0000", session().ids("00:0b.0"));
}

}  // namespace
