// SPDX-License-Identifier: LGPL-2.1-or-later
// Hardware that vanishes while the library looks at it: driver entries
// removed between the directory walk and the property reads, bridges gone
// between sessions, a device whose driver entry goes away before it is
// opened. The affected candidates are skipped, the rest still listed, and
// nothing crashes.
#include <dlfcn.h>
#include <glob.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "ImageBuilder.h"
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace {

// Runs after every directory walk the library makes (see glob below).
std::function<void(const char*)> g_AfterGlob;
// Decides before a walk whether it fails, and with which glob result.
std::function<int(const char*)> g_FailGlob;

}  // namespace

// The library's directory walks come here first: the real glob runs, then the
// test may pull entries away before the library reads them.
extern "C" int glob(const char* a_pPattern, int a_Flags, int (*a_pError)(const char*, int),
                    glob_t* a_pGlob) {
  using tGlob = int (*)(const char*, int, int (*)(const char*, int), glob_t*);
  static const tGlob l_pReal = reinterpret_cast<tGlob>(dlsym(RTLD_NEXT, "glob"));
  if (const int l_Failure = g_FailGlob ? g_FailGlob(a_pPattern) : 0) {
    std::memset(a_pGlob, 0, sizeof(*a_pGlob));
    return l_Failure;
  }
  const int l_Result = l_pReal(a_pPattern, a_Flags, a_pError, a_pGlob);
  if (g_AfterGlob) g_AfterGlob(a_pPattern);
  return l_Result;
}

namespace systest {
namespace {

constexpr const char kCycloneClass[] = "nQVZEL_1_0_Cyclone4UpstreamZEL";
constexpr const char kDriverRoot[] = "/proc/driver/qv/";

// A second host tree like fourPortHost, under root port 0x1d: ports on buses
// 12 to 15, so a card on bus 12 has its four ports.
std::string secondHost() {
  std::string l_Text;
  sBridge l_Root;
  l_Root.m_Name = "rpB";
  l_Root.m_Device = 0x1d;
  l_Root.m_Secondary = 10;
  l_Root.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 8},
                         {QVPCIBRD_ATTR_LINK_STATUS, 0x11},
                         {QVPCIBRD_ATTR_LINK_SPEED, 0x3}};
  sBridge l_Up;
  l_Up.m_Name = "upB";
  l_Up.m_Parent = "rpB";
  l_Up.m_Secondary = 11;
  l_Text = bridgeText(l_Root) + bridgeText(l_Up);
  for (int l_Index = 0; l_Index < 4; ++l_Index) {
    sBridge l_Port;
    l_Port.m_Name = "dpB" + std::to_string(l_Index);
    l_Port.m_Parent = "upB";
    l_Port.m_Device = l_Index;
    l_Port.m_Secondary = 12 + l_Index;
    l_Port.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, static_cast<uint32_t>(l_Index + 1)},
                           {QVPCIBRD_ATTR_LINK_SPEED, 2},
                           {QVPCIBRD_ATTR_LINK_WIDTH, 4}};
    l_Text += bridgeText(l_Port);
  }
  return l_Text;
}

sInterface secondCard() {
  sInterface l_Card = fourPortCard();
  l_Card.m_Name = "card1";
  l_Card.m_Bus = 12;
  l_Card.m_Serial = "0B0B0B0B";
  return l_Card;
}

class VanishingHardware : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_Host = fourPortHost({4, 4, 4, 4}) + secondHost();
    load(m_Host + interfaceText(fourPortCard()) + interfaceText(secondCard()));
  }
  void TearDown() override {
    g_AfterGlob = nullptr;
    g_FailGlob = nullptr;
    SystemTest::TearDown();
  }

  // After the next walk over the upstream card class, removes a_rPath
  // (relative to the driver's tree) once.
  static void vanishAfterWalk(const std::string& a_rPath) {
    g_AfterGlob = [a_rPath](const char* a_pPattern) {
      if (std::strstr(a_pPattern, kCycloneClass) == nullptr) return;
      std::error_code l_Error;
      std::filesystem::remove_all(kDriverRoot + a_rPath, l_Error);
      g_AfterGlob = nullptr;
    };
  }

  static std::vector<uint32_t> buses(const cList& a_rList) {
    std::vector<uint32_t> l_Buses;
    for (uint32_t l_Index = 0; l_Index < a_rList.count(); ++l_Index) {
      l_Buses.push_back(number(a_rList.item(l_Index), QVZEL_ATTR_PCI_BUS));
    }
    return l_Buses;
  }

  std::string m_Host;
};

TEST_F(VanishingHardware, BothCardsAreListedWhenNothingVanishes) {
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  EXPECT_EQ(buses(l_List), (std::vector<uint32_t>{3, 12}));
}

TEST_F(VanishingHardware, ADeviceRemovedAfterTheWalkIsSkipped) {
  // The whole device directory or only its bus properties, of either card.
  for (const std::string& l_rGone :
       {std::string("card1"), std::string("card1/busProperties"), std::string("card0")}) {
    SCOPED_TRACE(l_rGone);
    load(m_Host + interfaceText(fourPortCard()) + interfaceText(secondCard()));
    vanishAfterWalk(l_rGone);
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    EXPECT_EQ(l_List.count(), 1u);
    EXPECT_EQ(buses(l_List), (std::vector<uint32_t>{l_rGone == "card0" ? 12u : 3u}));
  }
}

TEST_F(VanishingHardware, AVanishedSerialNumberLeavesTheCardListedWithoutOne) {
  vanishAfterWalk("card1/deviceProperties/serialNumber");
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(buses(l_List), (std::vector<uint32_t>{3, 12}));
  const char* l_pSerial = nullptr;
  EXPECT_EQ(
      nQVPXIFINDER100_getStringAttribute(l_List.item(1), QVZEL_ATTR_SERIAL_NUMBER, &l_pSerial),
      QVZEL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(text(l_List.item(0), QVZEL_ATTR_SERIAL_NUMBER), "01A2B3C4");
}

TEST_F(VanishingHardware, BridgesGoneBetweenSessionsSkipTheirCardsAndOldListsStayUsable) {
  cList l_Before;
  ASSERT_EQ(l_Before.code(), 0);
  ASSERT_EQ(l_Before.count(), 2u);

  // The second host tree is unplugged; its card's driver entry is still there.
  load(cardSystem() + interfaceText(secondCard()));
  {
    cList l_After;
    ASSERT_EQ(l_After.code(), 0);
    EXPECT_EQ(buses(l_After), (std::vector<uint32_t>{3}));
  }
  // The first list keeps its devices and answers for them.
  EXPECT_EQ(buses(l_Before), (std::vector<uint32_t>{3, 12}));
  EXPECT_EQ(text(l_Before.item(1), QVZEL_ATTR_SERIAL_NUMBER), "0B0B0B0B");
  // Its bridge session still sees the tree it was opened on.
  EXPECT_EQ(number(l_Before.item(1), QVZEL_ATTR_LINK_STATUS), 0x11u);

  // Everything unplugged: an empty list, no handle.
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::removeSystem(l_Error)) << l_Error;
  load(std::string());
  uint32_t l_Count = 7;
  void* l_pList = &l_Count;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
  EXPECT_EQ(l_Count, 0u);
  EXPECT_EQ(l_pList, nullptr);
}

TEST_F(VanishingHardware, AWalkThatFailsWhileACardOpensIsAFailedOpening) {
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  g_FailGlob = [](const char* a_pPattern) {
    return std::strstr(a_pPattern, kCycloneClass) != nullptr ? GLOB_NOSPACE : 0;
  };
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(0)), QVZEL_ERR_INTERNAL);
  const std::string l_Valid = imageText({sSection()});
  EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_List.item(0), l_Valid.data(),
                                             static_cast<uint32_t>(l_Valid.size()), 1),
            QVZEL_ERR_INTERNAL);
  EXPECT_TRUE(nQvDriverSim_1_0::firmwareWrites("card0").empty());
  // Once the walk works again, so does the opening.
  g_FailGlob = nullptr;
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(0)), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(l_List.item(0)), 0);
}

TEST_F(VanishingHardware, ACardWhoseDriverEntryVanishedCannotBeOpenedOrWritten) {
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  std::error_code l_Error;
  std::filesystem::remove_all(std::string(kDriverRoot) + "card1", l_Error);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(1)), QVZEL_ERR_NOT_FOUND);
  const std::string l_Valid = imageText({sSection()});
  EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_List.item(1), l_Valid.data(),
                                             static_cast<uint32_t>(l_Valid.size()), 1),
            QVZEL_ERR_INTERNAL);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(l_List.item(1)), 0);

  // The other card is untouched. When its device file vanishes while it is
  // open, an update either fails or reaches the driver whole; never a crash.
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(0)), 0);
  std::filesystem::remove(nQvDriverSim_1_0::deviceFile("card0"), l_Error);
  const int32_t l_Code = nQVPXIKTFINDER100_updateFirmware(l_List.item(0), l_Valid.data(),
                                                          static_cast<uint32_t>(l_Valid.size()), 0);
  const auto l_Writes = nQvDriverSim_1_0::firmwareWrites("card0");
  if (l_Code == 0) {
    ASSERT_EQ(l_Writes.size(), 1u);
    EXPECT_EQ(l_Writes[0].m_Bytes, sSection().m_Payload);
  } else {
    EXPECT_LT(l_Code, 0);
    EXPECT_TRUE(l_Writes.empty());
  }
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(l_List.item(0)), 0);
}

}  // namespace
}  // namespace systest
