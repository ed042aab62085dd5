// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <regex>
#include <type_traits>

#include "AllocationFailure.h"
#include "ChildProcess.h"
#include "SimPciBridge.h"
#include "config/cSlotPath.h"
#include "pcibridge/cPciBrdDynLib.h"
#include "qvpcibrd.h"
#include "status/StatusCodes.h"

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdDynLib;
using namespace nQVZEL_15_0::nQvPciBrdWrapper_15_0;

// The binding's view of each entry point is the companion's own.
#define QVZ_SAME_ENTRY(a_Name) \
  static_assert(std::is_same<decltype(&a_Name), t##a_Name>::value, #a_Name)
QVZ_SAME_ENTRY(QvPciBrd_OpenSession);
QVZ_SAME_ENTRY(QvPciBrd_CloseSession);
QVZ_SAME_ENTRY(QvPciBrd_FindBridgesByPciIds);
QVZ_SAME_ENTRY(QvPciBrd_FindBridgeByAddress);
QVZ_SAME_ENTRY(QvPciBrd_FindBridgeBySlotPath);
QVZ_SAME_ENTRY(QvPciBrd_FindParentBridgeForBus);
QVZ_SAME_ENTRY(QvPciBrd_GetBridgeParent);
QVZ_SAME_ENTRY(QvPciBrd_GetBridgeChildren);
QVZ_SAME_ENTRY(QvPciBrd_GetBusChildren);
QVZ_SAME_ENTRY(QvPciBrd_GetRootBuses);
QVZ_SAME_ENTRY(QvPciBrd_GetBridgeAddress);
QVZ_SAME_ENTRY(QvPciBrd_GetBridgeSlotPath);
QVZ_SAME_ENTRY(QvPciBrd_GetBridgeIds);
QVZ_SAME_ENTRY(QvPciBrd_SetAttributeU32);
QVZ_SAME_ENTRY(QvPciBrd_GetAttributeU32);
QVZ_SAME_ENTRY(QvPciBrd_OpenBridge);
QVZ_SAME_ENTRY(QvPciBrd_CloseBridge);
QVZ_SAME_ENTRY(QvPciBrd_EepromUpdate);

namespace {

constexpr uint32_t kUntouched = 0xA5A5A5A5;

const char* const kSystem = R"(
[bridge root]
bus = 0
device = 0x1c
function = 0
secondary = 1
vendor_id = 0x1234

[bridge child]
parent = root
device = 1
function = 2
vendor_id = 0x12D8
device_id = 0xE112
attr.0x20000300 = 7
)";

std::string slotText(const cSlotPath& a_rPath) {
  Status l_Status;
  std::string l_Text;
  a_rPath.GetText(l_Text, l_Status);
  return l_Text;
}

// Every method of a binding whose entry points from a_First on are missing.
void expectUnavailableFrom(cPciBrdDynLib& a_rLib, int a_First) {
  const int32_t kMissing = qvstatus::kPciBrdUnavailable;
  int32_t l_Session = 77;
  uint32_t l_Ref = kUntouched, l_Count = 0;
  uint8_t l_Byte = 0x5A;
  uint16_t l_Id = 0x5A5A;
  Status l_Parse;
  cSlotPath l_Path("MR03:08", l_Parse);
  // A session the component never gave out: bound entry points change nothing.
  const int32_t kNoSuchSession = 999;
  const int32_t l_Results[18] = {
      a_rLib.OpenSession(0, &l_Session),
      a_rLib.CloseSession(kNoSuchSession),
      a_rLib.FindBridgesByPciIds(kNoSuchSession, &l_Id, &l_Id, nullptr, nullptr, nullptr, &l_Count),
      a_rLib.FindBridgeByAddress(kNoSuchSession, 0, 0, 0, &l_Ref),
      a_rLib.FindBridgeBySlotPath(kNoSuchSession, l_Path, &l_Ref),
      a_rLib.FindParentBridgeForBus(kNoSuchSession, 1, &l_Ref),
      a_rLib.GetBridgeParent(kNoSuchSession, 1, &l_Ref),
      a_rLib.GetBridgeChildren(kNoSuchSession, 1, nullptr, &l_Count),
      a_rLib.GetBusChildren(kNoSuchSession, 1, nullptr, &l_Count),
      a_rLib.GetRootBuses(kNoSuchSession, nullptr, &l_Count),
      a_rLib.GetBridgeAddress(kNoSuchSession, 1, &l_Byte, &l_Byte, &l_Byte),
      a_rLib.GetBridgeSlotPath(kNoSuchSession, 1, l_Path),
      a_rLib.GetBridgeIds(kNoSuchSession, 1, &l_Id, &l_Id, &l_Id, &l_Id),
      a_rLib.SetAttributeU32(kNoSuchSession, 1, QVPCIBRD_ATTR_PORT_NUMBER, 1),
      a_rLib.GetAttributeU32(kNoSuchSession, 1, QVPCIBRD_ATTR_PORT_NUMBER, &l_Ref),
      a_rLib.OpenBridge(kNoSuchSession, 1),
      a_rLib.CloseBridge(kNoSuchSession, 1),
      a_rLib.EepromUpdate(kNoSuchSession, 1, 1, 1, 0, 0, 0, nullptr)};
  for (int l_Index = a_First; l_Index < 18; ++l_Index) {
    const bool l_IsClose = l_Index == 1 || l_Index == 16;
    EXPECT_EQ(l_IsClose ? qvstatus::kSuccess : kMissing, l_Results[l_Index])
        << "entry point " << l_Index;
  }
  if (a_First == 0) {
    EXPECT_EQ(77, l_Session);
    EXPECT_EQ(kUntouched, l_Ref);
    EXPECT_EQ(0u, l_Count);
    EXPECT_EQ(0x5A, l_Byte);
    EXPECT_EQ(0x5A5A, l_Id);
    EXPECT_EQ("MR03:08", slotText(l_Path));
  }
}

std::string bindingDetails(const std::string& a_rKey, const std::string& a_rValue) {
  return R"(\{"error_constant":"qvkoraerr_invalidParameter","file":"[^"]*","line":[0-9]+,)"
         R"("component":"qvzelif","qvdynlib_debug":\{"debug":"[^"]*",")" +
         a_rKey + R"(":")" + a_rValue +
         R"("\},"internal_error":\{"api":"dlerror","string":"[^"]*"\}\})";
}

class PciBrdDynLib : public ::testing::Test {
 protected:
  qvztest::cSimSystem m_System{kSystem};
  qvztest::cSimProbe m_Probe;
};

TEST_F(PciBrdDynLib, BindsTheCompanionAndPassesCallsThrough) {
  ASSERT_TRUE(m_Probe.ready());
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  EXPECT_EQ(0, l_Status.code);
  EXPECT_EQ(nullptr, l_Status.json);

  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  uint32_t l_Child = 0;
  EXPECT_EQ(0, l_Lib.FindBridgeByAddress(l_Session, 1, 1, 2, &l_Child));
  uint32_t l_Value = 0;
  EXPECT_EQ(0, l_Lib.GetAttributeU32(l_Session, l_Child, QVPCIBRD_ATTR_PORT_NUMBER, &l_Value));
  EXPECT_EQ(7u, l_Value);
  EXPECT_EQ(qvstatus::kPciBrdAttrNotServed,
            l_Lib.GetAttributeU32(l_Session, l_Child, QVPCIBRD_ATTR_LINK_SPEED, &l_Value));
  EXPECT_EQ(0, l_Lib.CloseSession(l_Session));
  EXPECT_EQ(0u, m_Probe.sessions());
}

TEST_F(PciBrdDynLib, SlotPathsTravelAsText) {
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));

  Status l_Parse;
  const cSlotPath l_ChildPath("MR00:0A,E0", l_Parse);
  uint32_t l_Ref = kUntouched;
  EXPECT_EQ(0, l_Lib.FindBridgeBySlotPath(l_Session, l_ChildPath, &l_Ref));
  cSlotPath l_Read;
  EXPECT_EQ(0, l_Lib.GetBridgeSlotPath(l_Session, l_Ref, l_Read));
  EXPECT_EQ("MR00:0A,E0", slotText(l_Read));
  EXPECT_EQ(2u, m_Probe.calls("GetBridgeSlotPath"));  // size, then text

  const cSlotPath l_Nowhere("MR00:08,E0", l_Parse);
  EXPECT_EQ(QVPCIBRD_ERR_NOT_FOUND, l_Lib.FindBridgeBySlotPath(l_Session, l_Nowhere, &l_Ref));
  l_Lib.CloseSession(l_Session);
}

TEST_F(PciBrdDynLib, UnusableSlotPathNeverReachesTheComponent) {
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  Status l_Parse;
  const cSlotPath l_Source("MR00:0A,E0", l_Parse);
  qvztest::failAllocationsAfter(0);
  const cSlotPath l_Broken(l_Source);  // the copy fails and marks the path unusable
  qvztest::failAllocationsAfter(-1);
  ASSERT_EQ(qvstatus::kMemoryFull, l_Broken.GetOwnStatus().code);

  uint32_t l_Ref = kUntouched;
  m_Probe.resetCalls();
  EXPECT_EQ(qvstatus::kMemoryFull, l_Lib.FindBridgeBySlotPath(l_Session, l_Broken, &l_Ref));
  EXPECT_EQ(0u, m_Probe.calls("FindBridgeBySlotPath"));
  EXPECT_EQ(kUntouched, l_Ref);
  l_Lib.CloseSession(l_Session);
}

// Answers of a component that break the size-then-fill protocol end in a
// status code, never in a read beyond the buffer.
TEST(PciBrdDynLibAnswers, SlotPathProtocolViolations) {
  struct sCase {
    const char* m_pSystem;
    int32_t m_Expected;
    const char* m_pPath;  // the slot path afterwards
  } const l_Cases[] = {
      // The first call answers 0: nothing to read, the path stays.
      {"fail.GetBridgeSlotPath.count = 0", qvstatus::kSuccess, "MR05:08"},
      {"fail.GetBridgeSlotPath.count = -313006", QVPCIBRD_ERR_INVALID_PARAMETER, "MR05:08"},
      {"fail.GetBridgeSlotPath.fill = -313006", QVPCIBRD_ERR_INVALID_PARAMETER, "MR05:08"},
      // A warning from the second call gives way to the parse result.
      {"fail.GetBridgeSlotPath.fill = 3", qvstatus::kSuccess, "MR00:E0"},
      {"quirk.GetBridgeSlotPath = zero-size", qvstatus::kInternal, "MR05:08"},
      {"quirk.GetBridgeSlotPath = no-nul", qvstatus::kInternal, "MR05:08"},
      {"quirk.GetBridgeSlotPath = junk", qvstatus::kSlotPathSyntax, "MR00:"},
  };
  for (const sCase& l_rCase : l_Cases) {
    SCOPED_TRACE(l_rCase.m_pSystem);
    qvztest::cSimSystem l_System(std::string(kSystem) + "[pcibrd]\n" + l_rCase.m_pSystem + "\n");
    JsonStatus l_Status;
    cPciBrdDynLib l_Lib(l_Status);
    int32_t l_Session = -1;
    ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
    uint32_t l_Ref = 0;
    ASSERT_EQ(0, l_Lib.FindBridgeByAddress(l_Session, 0, 0x1c, 0, &l_Ref));
    Status l_Parse;
    cSlotPath l_Path("MR05:08", l_Parse);
    EXPECT_EQ(l_rCase.m_Expected, l_Lib.GetBridgeSlotPath(l_Session, l_Ref, l_Path));
    EXPECT_EQ(l_rCase.m_pPath, slotText(l_Path));
    l_Lib.CloseSession(l_Session);
  }
}

TEST(PciBrdDynLibBinding, MissingLibrary) {
  qvztest::expectChildPasses("MissingLibrary", {"LD_LIBRARY_PATH=/nonexistent"});
}
QVZ_CHILD_CASE(MissingLibrary) {
  JsonStatus l_Status;
  l_Status.setCode(5);  // a warning is displaced
  cPciBrdDynLib l_Lib(l_Status);
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_TRUE(std::regex_match(qvztest::textOf(l_Status),
                               std::regex(bindingDetails("path", "libqvpcibrd\\.so\\.1"))))
      << qvztest::textOf(l_Status);
  expectUnavailableFrom(l_Lib, 0);
}

TEST(PciBrdDynLibBinding, MissingEntryPoint) {
  qvztest::expectChildPasses("MissingEntryPoint", {"LD_LIBRARY_PATH=" + qvztest::companionDir() +
                                                   "/variants/missing-entry"});
}
QVZ_CHILD_CASE(MissingEntryPoint) {
  qvztest::cSimSystem l_System(kSystem);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_TRUE(
      std::regex_match(qvztest::textOf(l_Status),
                       std::regex(bindingDetails("qvdynlib_symbol", "QvPciBrd_GetBridgeIds"))))
      << qvztest::textOf(l_Status);
  EXPECT_NE(std::string::npos, qvztest::textOf(l_Status).find("undefined symbol"));
  // Only the first missing name is reported.
  EXPECT_EQ(std::string::npos, qvztest::textOf(l_Status).find("SetAttributeU32"));

  // The entry points bound before the missing one work.
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  uint32_t l_Count = 0;
  EXPECT_EQ(qvstatus::kPciBrdBufferTooSmall, l_Lib.GetRootBuses(l_Session, nullptr, &l_Count));
  EXPECT_EQ(1u, l_Count);
  // From the missing one on, nothing is bound.
  expectUnavailableFrom(l_Lib, 12);
  EXPECT_EQ(0, l_Lib.CloseSession(l_Session));
}

TEST(PciBrdDynLibBinding, EntryPointWithNullAddress) {
  qvztest::expectChildPasses(
      "EntryPointWithNullAddress",
      {"LD_LIBRARY_PATH=" + qvztest::companionDir() + "/variants/null-entry"});
}
QVZ_CHILD_CASE(EntryPointWithNullAddress) {
  qvztest::cSimSystem l_System(kSystem);
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  // A name that resolves to address 0 is as unusable as a missing one.
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_NE(std::string::npos,
            qvztest::textOf(l_Status).find(R"("qvdynlib_symbol":"QvPciBrd_EepromUpdate")"));
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));
  uint32_t l_Ref = 0;
  ASSERT_EQ(0, l_Lib.FindBridgeByAddress(l_Session, 0, 0x1c, 0, &l_Ref));
  EXPECT_EQ(0, l_Lib.OpenBridge(l_Session, l_Ref));
  EXPECT_EQ(0, l_Lib.CloseBridge(l_Session, l_Ref));
  expectUnavailableFrom(l_Lib, 17);
  EXPECT_EQ(0, l_Lib.CloseSession(l_Session));
}

}  // namespace
