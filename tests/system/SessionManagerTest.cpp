// SPDX-License-Identifier: LGPL-2.1-or-later
// The session manager seen through the exported functions: several lists at
// once, failed openings next to open lists, handles of closed lists, and many
// threads at once.
#include <atomic>
#include <thread>
#include <vector>

#include "ImageBuilder.h"
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

// A four-port card behind its switch: one upstream item per list opening.
class SessionManager : public SystemTest {
 protected:
  void loadCard(const std::string& a_rMachineLines = "") {
    load("[pcibrd]\n" + a_rMachineLines + "\n" + cardSystem());
  }
};

TEST_F(SessionManager, AFailedOpeningLeavesTheCallersVariablesAndOpenListsAlone) {
  loadCard();
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  ASSERT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
  ASSERT_EQ(l_Count, 1u);
  void* l_pItem = nullptr;
  ASSERT_EQ(nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pItem), 0);

  // A caller that reuses its variables: they still name the open list, and
  // the count it passes in happens to be 0. The failed opening must neither
  // write them nor close the list they name.
  loadCard("fail.OpenSession = -313006");
  void* l_pReused = l_pList;
  uint32_t l_ReusedCount = 0;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_ReusedCount, &l_pReused), -313006);
  EXPECT_EQ(l_pReused, l_pList);
  EXPECT_EQ(l_ReusedCount, 0u);

  // The first list and its item are untouched.
  void* l_pAgain = nullptr;
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pAgain), 0);
  EXPECT_EQ(l_pAgain, l_pItem);
  EXPECT_EQ(number(l_pItem, QVZEL_ATTR_PORT_COUNT), 4u);
  EXPECT_EQ(openBridgeSessions(), 1u);
  EXPECT_EQ(nQVPXIFINDER100_closeList(l_pList), 0);
  EXPECT_EQ(openBridgeSessions(), 0u);
}

TEST_F(SessionManager, ListsLiveAndDieIndependently) {
  loadCard();
  cList l_First;
  cList l_Second;
  ASSERT_EQ(l_First.code(), 0);
  ASSERT_EQ(l_Second.code(), 0);
  ASSERT_EQ(l_First.count(), 1u);
  ASSERT_EQ(l_Second.count(), 1u);
  // Each opening runs its own discovery: new objects, new bridge session.
  EXPECT_NE(l_First.handle(), l_Second.handle());
  EXPECT_NE(l_First.item(0), l_Second.item(0));
  EXPECT_EQ(openBridgeSessions(), 2u);

  void* const l_pFirstItem = l_First.item(0);
  void* const l_pFirstList = l_First.handle();
  l_First.close();
  EXPECT_EQ(openBridgeSessions(), 1u);
  // The second list keeps working with its old handles; the first's are gone.
  EXPECT_EQ(text(l_Second.item(0), QVZEL_ATTR_MODEL_NAME), "QV PXIe-6550");
  uint32_t l_Value = 99;
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pFirstItem, QVZEL_ATTR_PCI_BUS, &l_Value),
            QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_Value, 99u);
  void* l_pItem = nullptr;
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_pFirstList, 0, &l_pItem), QVZEL_ERR_INVALID_PARAMETER);
  // Closing a closed list again changes nothing.
  EXPECT_EQ(nQVPXIFINDER100_closeList(l_pFirstList), 0);
  EXPECT_EQ(openBridgeSessions(), 1u);
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_Second.handle(), 0, &l_pItem), 0);
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_Second.handle(), 1, &l_pItem),
            QVZEL_ERR_INVALID_PARAMETER);

  l_Second.close();
  EXPECT_EQ(openBridgeSessions(), 0u);
  // After the last list the manager is gone; a new opening builds it again.
  cList l_Third;
  EXPECT_EQ(l_Third.code(), 0);
  EXPECT_EQ(l_Third.count(), 1u);
  EXPECT_EQ(openBridgeSessions(), 1u);
}

// The handles of one closed list.
struct sStaleHandles {
  void* m_pList;
  void* m_pController;
  void* m_pCard;
};

// Every exported function refuses the handles of a closed list, writes none
// of its outputs and reaches no device.
void expectRefused(const sStaleHandles& a_rStale, const std::string& a_rImage) {
  int l_Sentinel = 0;
  void* const kUntouched = &l_Sentinel;
  void* l_pItem = kUntouched;
  uint32_t l_Value = 0x5EED;
  const char* l_pText = "untouched";
  const uint8_t* l_pMap = static_cast<const uint8_t*>(kUntouched);
  for (void* l_pStale : {a_rStale.m_pController, a_rStale.m_pCard}) {
    for (uint32_t l_Id : {QVZEL_ATTR_PCI_BUS, QVZEL_ATTR_FIRMWARE_VERSION}) {
      EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pStale, l_Id, &l_Value),
                QVZEL_ERR_INVALID_PARAMETER);
    }
    for (uint32_t l_Id : {QVZEL_ATTR_MODEL_NAME, QVZEL_ATTR_SERIAL_NUMBER}) {
      EXPECT_EQ(nQVPXIFINDER100_getStringAttribute(l_pStale, l_Id, &l_pText),
                QVZEL_ERR_INVALID_PARAMETER);
    }
    EXPECT_EQ(nQVPXIFINDER100_getControllerIDSELMap(l_pStale, &l_pMap),
              QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_pStale), QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_pStale, a_rImage.data(),
                                               static_cast<uint32_t>(a_rImage.size()), 1),
              QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(l_pStale), 0);
  }
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(a_rStale.m_pList, 0, &l_pItem), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIFINDER100_closeList(a_rStale.m_pList), 0);
  EXPECT_EQ(l_pItem, kUntouched);
  EXPECT_EQ(l_Value, 0x5EEDu);
  EXPECT_STREQ(l_pText, "untouched");
  EXPECT_EQ(l_pMap, static_cast<const uint8_t*>(kUntouched));
}

TEST_F(SessionManager, HandlesOfClosedListsNeverReachTheDevicesOfLaterLists) {
  // The allocator hands a closed list's memory to the next list at once, so
  // a handle that were an address would name the new objects.
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(fourPortCard()) +
       bridgeText(switchController(1)));
  const std::string l_Image = imageText({sSection()});  // newer than the card's
  std::vector<sStaleHandles> l_Stale;
  for (int l_Round = 0; l_Round < 40; ++l_Round) {
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    ASSERT_EQ(l_List.count(), 2u);
    ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(1)), 0);
    const size_t l_Requests = nQvDriverSim_1_0::driverRequests("card0").size();
    // Every other round the stale handles come from another thread than the
    // one that opened the list.
    const auto l_CheckStale = [&] {
      for (const sStaleHandles& l_rStale : l_Stale) expectRefused(l_rStale, l_Image);
    };
    if (l_Round % 2 == 0) {
      l_CheckStale();
    } else {
      std::thread(l_CheckStale).join();
    }
    EXPECT_EQ(nQvDriverSim_1_0::driverRequests("card0").size(), l_Requests);

    // The open list kept its items and its card its driver connection.
    void* l_pItem = nullptr;
    EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_List.handle(), 1, &l_pItem), 0);
    EXPECT_EQ(l_pItem, l_List.item(1));
    EXPECT_EQ(number(l_List.item(1), QVZEL_ATTR_FIRMWARE_VERSION), 0x100u);
    l_Stale.push_back(sStaleHandles{l_List.handle(), l_List.item(0), l_List.item(1)});
  }
  EXPECT_TRUE(nQvDriverSim_1_0::firmwareWrites("card0").empty());
  EXPECT_EQ(openBridgeSessions(), 0u);
}

TEST_F(SessionManager, ManyThreadsOpenReadAndCloseListsAtOnce) {
  loadCard();
  constexpr int kThreads = 6;
  constexpr int kRounds = 40;
  std::atomic<int> l_Failures{0};
  std::vector<std::thread> l_Threads;
  for (int l_Thread = 0; l_Thread < kThreads; ++l_Thread) {
    l_Threads.emplace_back([&l_Failures] {
      for (int l_Round = 0; l_Round < kRounds; ++l_Round) {
        uint32_t l_Count = 0;
        void* l_pList = nullptr;
        if (nQVPXIFINDER100_openList(&l_Count, &l_pList) != 0 || l_Count != 1) {
          ++l_Failures;
          continue;
        }
        void* l_pItem = nullptr;
        uint32_t l_Ports = 0;
        const char* l_pModel = nullptr;
        if (nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pItem) != 0 ||
            nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_PORT_COUNT, &l_Ports) != 0 ||
            l_Ports != 4 ||
            nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_MODEL_NAME, &l_pModel) != 0 ||
            std::string(l_pModel) != "QV PXIe-6550") {
          ++l_Failures;
        }
        // Other threads' closings through their stale handles left this
        // list alone.
        void* l_pAgain = nullptr;
        if (nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pAgain) != 0 || l_pAgain != l_pItem) {
          ++l_Failures;
        }
        nQVPXIFINDER100_closeList(l_pList);
        // The closed list's handles are refused, whatever other threads have
        // opened since, and closing it again closes nobody else's list.
        l_Ports = 77;
        if (nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_PORT_COUNT, &l_Ports) !=
                QVZEL_ERR_INVALID_PARAMETER ||
            l_Ports != 77 ||
            nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pAgain) != QVZEL_ERR_INVALID_PARAMETER) {
          ++l_Failures;
        }
        nQVPXIFINDER100_closeList(l_pList);
      }
    });
  }
  for (std::thread& l_rThread : l_Threads) l_rThread.join();
  EXPECT_EQ(l_Failures.load(), 0);
  EXPECT_EQ(openBridgeSessions(), 0u);
}

}  // namespace
}  // namespace systest
