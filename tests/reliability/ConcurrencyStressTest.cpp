// SPDX-License-Identifier: LGPL-2.1-or-later
// Several threads use the finder at once on one simulated machine: opening
// and closing lists, reading attributes, opening the card and updating its
// firmware, and using handles that other threads hand around (which may name
// lists that are closed meanwhile). Run under ThreadSanitizer it shows races;
// in every build it checks that each call answers as the handle rules say,
// that nothing deadlocks and that every accepted update reached the driver.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "ImageBuilder.h"
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

int settingOr(const char* a_pName, int a_Default) {
  const char* l_pValue = std::getenv(a_pName);
  return l_pValue != nullptr ? std::atoi(l_pValue) : a_Default;
}

class ConcurrencyStress : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(cardAndControllerSystem());
  }
};

// What one thread saw go wrong; reported after the join.
struct sTally {
  std::atomic<int> m_Wrong{0};
  std::atomic<int> m_Updates{0};
  std::string m_First;
  std::atomic_flag m_HaveFirst = ATOMIC_FLAG_INIT;

  void wrong(const std::string& a_rWhat) {
    if (!m_HaveFirst.test_and_set()) m_First = a_rWhat;
    ++m_Wrong;
  }
};

// A handle one thread publishes for the others; it may be stale when read.
std::atomic<void*> g_SharedItem{nullptr};

void worker(int a_Thread, int a_Iterations, const std::string& a_rImage, sTally& a_rTally) {
  const std::string l_Who = "thread " + std::to_string(a_Thread) + ": ";
  for (int l_Round = 0; l_Round < a_Iterations; ++l_Round) {
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    const int32_t l_Open = nQVPXIFINDER100_openList(&l_Count, &l_pList);
    if (l_Open != 0 || l_Count != 2 || l_pList == nullptr) {
      a_rTally.wrong(l_Who + "openList " + std::to_string(l_Open) + " count " +
                     std::to_string(l_Count));
      continue;
    }
    for (uint32_t l_Index = 0; l_Index < l_Count; ++l_Index) {
      void* l_pItem = nullptr;
      if (nQVPXIFINDER100_getNthItem(l_pList, l_Index, &l_pItem) != 0 || l_pItem == nullptr) {
        a_rTally.wrong(l_Who + "getNthItem");
        continue;
      }
      uint32_t l_Kind = 0;
      const char* l_pModel = nullptr;
      if (nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_DEVICE_CLASS, &l_Kind) != 0 ||
          nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_MODEL_NAME, &l_pModel) != 0 ||
          nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_SLOT_PATH, &l_pModel) != 0) {
        a_rTally.wrong(l_Who + "attribute read");
      }
      if (l_Kind == 0xF000) {
        // The card: a session and a forced update of a valid image.
        if (nQVPXIKTFINDER100_openDevice(l_pItem) != 0) a_rTally.wrong(l_Who + "openDevice");
        const int32_t l_Update = nQVPXIKTFINDER100_updateFirmware(
            l_pItem, a_rImage.data(), static_cast<uint32_t>(a_rImage.size()), 1);
        if (l_Update == 0) {
          ++a_rTally.m_Updates;
        } else {
          a_rTally.wrong(l_Who + "updateFirmware " + std::to_string(l_Update));
        }
        nQVPXIKTFINDER100_closeDevice(l_pItem);
      } else {
        const uint8_t* l_pMap = nullptr;
        if (nQVPXIFINDER100_getControllerIDSELMap(l_pItem, &l_pMap) != 0 || l_pMap == nullptr) {
          a_rTally.wrong(l_Who + "IDSEL map");
        }
      }
      // Someone else's item: valid while its list is open, rejected once it
      // is closed (handles are never reused). Only read: its owner may be
      // updating that card.
      void* l_pForeign = g_SharedItem.exchange(l_pItem);
      if (l_pForeign != nullptr) {
        uint32_t l_Bus = 0;
        const int32_t l_Code =
            nQVPXIFINDER100_getU32Attribute(l_pForeign, QVZEL_ATTR_PCI_BUS, &l_Bus);
        if (l_Code != 0 && l_Code != QVZEL_ERR_INVALID_PARAMETER) {
          a_rTally.wrong(l_Who + "foreign item " + std::to_string(l_Code));
        }
      }
    }
    if (nQVPXIFINDER100_closeList(l_pList) != 0) a_rTally.wrong(l_Who + "closeList");
    // A closed list's handle is rejected.
    void* l_pItem = nullptr;
    if (nQVPXIFINDER100_getNthItem(l_pList, 0, &l_pItem) != QVZEL_ERR_INVALID_PARAMETER) {
      a_rTally.wrong(l_Who + "closed list still answers");
    }
  }
}

TEST_F(ConcurrencyStress, ThreadsShareTheFinderWithoutRaceOrDeadlock) {
  const int l_Threads = settingOr("QVZ_STRESS_THREADS", 4);
  const int l_Iterations = settingOr("QVZ_STRESS_ITERATIONS", 100);
  sSection l_Section;
  l_Section.m_Payload.assign(64, 0x5A);
  const std::string l_Image = imageText({l_Section});

  sTally l_Tally;
  std::atomic<int> l_Finished{0};
  std::vector<std::thread> l_Workers;
  for (int l_Thread = 0; l_Thread < l_Threads; ++l_Thread) {
    l_Workers.emplace_back([&, l_Thread] {
      worker(l_Thread, l_Iterations, l_Image, l_Tally);
      ++l_Finished;
    });
  }
  // A deadlock shows as threads that never finish: give up loudly.
  const auto l_Deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
  while (l_Finished < l_Threads && std::chrono::steady_clock::now() < l_Deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (l_Finished < l_Threads) {
    ADD_FAILURE() << "threads still running after four minutes: deadlock";
    std::abort();
  }
  for (std::thread& l_rWorker : l_Workers) l_rWorker.join();
  g_SharedItem = nullptr;

  EXPECT_EQ(l_Tally.m_Wrong.load(), 0) << l_Tally.m_First;
  EXPECT_EQ(l_Tally.m_Updates.load(), l_Threads * l_Iterations);
  // Every accepted update reached the driver whole.
  const auto l_Writes = nQvDriverSim_1_0::firmwareWrites("card0");
  ASSERT_EQ(l_Writes.size(), static_cast<size_t>(l_Tally.m_Updates.load()));
  for (const auto& l_rWrite : l_Writes) EXPECT_EQ(l_rWrite.m_Bytes, l_Section.m_Payload);

  // Afterwards the finder is idle and works as before.
  cList l_List;
  EXPECT_EQ(l_List.code(), 0);
  EXPECT_EQ(l_List.count(), 2u);
}

}  // namespace
}  // namespace systest
