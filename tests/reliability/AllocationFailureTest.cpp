// SPDX-License-Identifier: LGPL-2.1-or-later
// Allocation failures inside the library: for every n, the n-th allocation
// the library makes (malloc, calloc, realloc and both forms of operator new,
// directly or through the C and C++ runtimes) fails, during a list opening,
// during reads of every attribute of every item, and during a firmware
// update on a simulated system. Every call must return 0 or an error code,
// nothing may crash or leak, an update may reach the driver only whole, and
// afterwards the finder must be idle and work as before.
#include <sanitizer/lsan_interface.h>

#include <functional>

#include "ImageBuilder.h"
#include "SimMachine.h"
#include "allocFailureInjector.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

using namespace qvzreliability;

const uint32_t kNumberIds[] = {0,          0x10000,    0x10001,    0x1F010,    0x1F020,
                               0x1F030,    0x1F040,    0xF000F010, 0xF000F020, 0xF000F030,
                               0xF000F040, 0xF000F050, 0xF000F053, 0xF000F054, 0xF000F060,
                               0xF000F070, 0xF000F090, 0xF000F0A1, 0xF000F0B0, 0xF000F0C0,
                               0xF000F0D0, 0xF000F0E0, 0xF000F0F0, 0xF000F100, 0x12345};
const uint32_t kTextIds[] = {0,          1,          0x1F810,    0xF000F820, 0xF000F810, 0xF000F830,
                             0xF000F833, 0xF000F834, 0xF000F840, 0xF000F860, 0x777};

class AllocationFailures : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // One live link value fails in the bridge library, so reading it records
    // a failure with details (which allocates).
    m_System = cardAndControllerSystem() + "[pcibrd]\nfail.GetAttributeU32.0x20000A00 = -313006\n";
    load(m_System);
    writeControllerFile(
        "[Chassis]\nVendorName = Quovex\nModelName = QV PXI-8370\n"
        "SlotPath = MR00:E0\n");
    ASSERT_TRUE(injectorStart("libqvzelif.so")) << "the library's code was not found";

    // Two warm-up rounds settle what the runtimes keep after a first use.
    for (int l_Round = 0; l_Round < 2; ++l_Round) {
      uint32_t l_Count = 0;
      void* l_pList = nullptr;
      ASSERT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
      m_Count = l_Count;
      readEverything(l_pList, l_Count, nullptr);
      nQVPXIFINDER100_closeList(l_pList);
    }
    ASSERT_EQ(m_Count, 3u);
    m_Baseline = injectorLiveBlocks();
    m_Image = imageText({sSection()});
  }

  // Reads every attribute of every item; a_pCheck sees each result.
  static void readEverything(void* a_pList, uint32_t a_Count,
                             const std::function<void(int32_t, const char*)>& a_rCheck) {
    auto l_Check = [&](int32_t a_Code, const char* a_pWhat) {
      if (a_rCheck) a_rCheck(a_Code, a_pWhat);
    };
    for (uint32_t l_Index = 0; l_Index < a_Count; ++l_Index) {
      void* l_pItem = nullptr;
      l_Check(nQVPXIFINDER100_getNthItem(a_pList, l_Index, &l_pItem), "getNthItem");
      for (const uint32_t l_Id : kNumberIds) {
        uint32_t l_Value = 0;
        l_Check(nQVPXIFINDER100_getU32Attribute(l_pItem, l_Id, &l_Value), "getU32Attribute");
      }
      for (const uint32_t l_Id : kTextIds) {
        const char* l_pValue = nullptr;
        l_Check(nQVPXIFINDER100_getStringAttribute(l_pItem, l_Id, &l_pValue), "getStringAttribute");
      }
      const uint8_t* l_pMap = nullptr;
      l_Check(nQVPXIFINDER100_getControllerIDSELMap(l_pItem, &l_pMap), "getControllerIDSELMap");
    }
  }

  // After each round: no call answered a warning, nothing of the library is
  // left allocated, a new list finds everything again, no leak.
  void checkAfterRound(uint64_t a_N, const std::string& a_rBad) {
    SCOPED_TRACE("failing allocation " + std::to_string(a_N) + (m_AndLater ? " and later" : ""));
    EXPECT_EQ(a_rBad, "");
    EXPECT_EQ(injectorLiveBlocks(), m_Baseline) << "library blocks left after closing every list";
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
    EXPECT_EQ(l_Count, m_Count);
    nQVPXIFINDER100_closeList(l_pList);
    EXPECT_EQ(injectorLiveBlocks(), m_Baseline);
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found a leak";
  }

  // Runs a_rRound with the n-th library allocation failing, for n = 1, 2, ...
  // until a round makes fewer allocations than n; then again with every
  // allocation from the n-th on failing (so error paths that allocate fail too).
  void forEveryFailure(const std::function<void(uint64_t, std::string&)>& a_rRound,
                       uint64_t a_AtLeast = 10) {
    uint64_t l_Rounds = 0;
    for (const bool l_AndLater : {false, true}) {
      m_AndLater = l_AndLater;
      uint64_t l_ModeRounds = 0;
      for (uint64_t l_N = 1;; ++l_N) {
        std::string l_Bad;
        a_rRound(l_N, l_Bad);  // arms and disarms the injector itself
        const bool l_Failed = injectorFailed();
        checkAfterRound(l_N, l_Bad);
        if (HasFailure()) return;
        ++l_ModeRounds;
        if (!l_Failed) break;
      }
      EXPECT_GE(l_ModeRounds, a_AtLeast) << "too few library allocations seen";
      l_Rounds += l_ModeRounds;
    }
    std::printf("[          ] %llu rounds, each with failing allocations\n",
                static_cast<unsigned long long>(l_Rounds));
  }

  static void expectCode(int32_t a_Code, const char* a_pWhat, std::string& a_rBad) {
    if (a_Code > 0 && a_rBad.empty())
      a_rBad = std::string(a_pWhat) + " answered " + std::to_string(a_Code);
  }

  std::string m_System;
  bool m_AndLater = false;
  uint32_t m_Count = 0;
  size_t m_Baseline = 0;
  std::string m_Image;
};

TEST_F(AllocationFailures, ListOpening) {
  forEveryFailure([&](uint64_t a_N, std::string& a_rBad) {
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    injectorArm(a_N, m_AndLater);
    const int32_t l_Code = nQVPXIFINDER100_openList(&l_Count, &l_pList);
    injectorDisarm();
    expectCode(l_Code, "openList", a_rBad);
    if (l_Code == 0 && l_Count > m_Count) a_rBad = "more items than there are";
    if (l_Code != 0 && l_pList != nullptr) a_rBad = "a failed opening wrote a handle";
    if (l_Code == 0) nQVPXIFINDER100_closeList(l_pList);
  });
}

TEST_F(AllocationFailures, AttributeReads) {
  forEveryFailure(
      [&](uint64_t a_N, std::string& a_rBad) {
        uint32_t l_Count = 0;
        void* l_pList = nullptr;
        ASSERT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
        // The card open, so that its driver attributes answer too.
        void* l_pCard = nullptr;
        ASSERT_EQ(nQVPXIFINDER100_getNthItem(l_pList, 1, &l_pCard), 0);
        ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_pCard), 0);
        injectorArm(a_N, m_AndLater);
        readEverything(l_pList, l_Count, [&](int32_t a_Code, const char* a_pWhat) {
          expectCode(a_Code, a_pWhat, a_rBad);
        });
        injectorDisarm();
        nQVPXIFINDER100_closeList(l_pList);
      },
      2);
}

TEST_F(AllocationFailures, FirmwareUpdate) {
  forEveryFailure([&](uint64_t a_N, std::string& a_rBad) {
    load(m_System);  // empties the write log
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    ASSERT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
    void* l_pCard = nullptr;
    ASSERT_EQ(nQVPXIFINDER100_getNthItem(l_pList, 1, &l_pCard), 0);
    std::vector<char> l_Image(m_Image.begin(), m_Image.end());

    injectorArm(a_N, m_AndLater);
    const int32_t l_Open = nQVPXIKTFINDER100_openDevice(l_pCard);
    const int32_t l_Update = nQVPXIKTFINDER100_updateFirmware(
        l_pCard, l_Image.data(), static_cast<uint32_t>(l_Image.size()), 0);
    nQVPXIKTFINDER100_closeDevice(l_pCard);
    injectorDisarm();
    nQVPXIFINDER100_closeList(l_pList);

    expectCode(l_Open, "openDevice", a_rBad);
    expectCode(l_Update, "updateFirmware", a_rBad);
    // The driver gets the whole image or nothing.
    const auto l_Writes = nQvDriverSim_1_0::firmwareWrites("card0");
    if (l_Update == 0 && (l_Writes.size() != 1 || l_Writes[0].m_Bytes != sSection().m_Payload)) {
      a_rBad = "an accepted update did not reach the driver whole";
    }
    if (l_Update != 0 && !l_Writes.empty()) a_rBad = "a failed update wrote to the driver";
  });
}

}  // namespace
}  // namespace systest
