// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "ChildProcess.h"
#include "SimPciBridge.h"
#include "config/cSlotPath.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "qvpcibrd.h"
#include "status/StatusCodes.h"

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc;
using qvztest::detailString;
using qvztest::textOf;

namespace {

// A host root port leading to a four-port upstream card (switch upstream
// port, four port bridges and the bridge to the card's own function), with
// a chassis controller cabled to port 1. Root bus 0x40 holds no bridge.
const char* const kHost = R"(
[pcibrd]
root_buses = 0x40

[bridge rootport]
bus = 0
device = 0x1c
function = 0
secondary = 1
vendor_id = 0x1234
device_id = 0x0001
attr.0x20000300 = 2

[bridge upstream]
parent = rootport
device = 0
function = 0
secondary = 2
vendor_id = 0x1F3C
device_id = 0x5A30

[bridge port1]
parent = upstream
device = 0
function = 0
secondary = 3
vendor_id = 0x1F3C
device_id = 0x5A30
attr.0x20000300 = 1
attr.0x20000B00 = 4

[bridge port2]
parent = upstream
device = 1
function = 0
secondary = 4
vendor_id = 0x1F3C
device_id = 0x5A30

[bridge fpga]
parent = upstream
device = 4
function = 0
secondary = 5
vendor_id = 0x1F3C
device_id = 0x5A31

[bridge chassis]
parent = port1
device = 0
function = 0
secondary = 6
vendor_id = 0x12D8
device_id = 0xE112
subsystem_vendor_id = 0x1F3C
subsystem_id = 0x4130
)";

// Bridge references are opaque; tests find them by address.
uint32_t refAt(iPciBrdWrapper_sc& a_rWrapper, uint8_t a_Bus, uint8_t a_Dev) {
  JsonStatus l_Status;
  uint32_t l_Ref = 0;
  a_rWrapper.FindBridgeByAddress(a_Bus, a_Dev, 0, l_Ref, l_Status);
  EXPECT_EQ(0, l_Status.code) << textOf(l_Status);
  return l_Ref;
}

std::string slotText(const cSlotPath& a_rPath) {
  Status l_Status;
  std::string l_Text;
  a_rPath.GetText(l_Text, l_Status);
  return l_Text;
}

class PciBrdWrapper : public ::testing::Test {
 protected:
  // A wrapper with an open session on the host, plus a_rExtra lines in [pcibrd].
  void open(const std::string& a_rExtra = "") {
    m_pSystem.reset();  // the old description's clean-up unsets the variable
    m_pSystem.reset(new qvztest::cSimSystem(std::string(kHost) + "[pcibrd]\n" + a_rExtra + "\n"));
    JsonStatus l_Status;
    m_pWrapper.reset(new cPciBrdWrapper_sc(l_Status));
    ASSERT_EQ(0, l_Status.code) << textOf(l_Status);
    m_pWrapper->OpenSession(0, l_Status);
    ASSERT_EQ(0, l_Status.code) << textOf(l_Status);
    m_Probe.resetCalls();
  }

  qvztest::cSimProbe m_Probe;
  std::unique_ptr<qvztest::cSimSystem> m_pSystem;
  std::unique_ptr<cPciBrdWrapper_sc> m_pWrapper;
};

TEST_F(PciBrdWrapper, SessionLifecycle) {
  qvztest::cSimSystem l_System(kHost);
  JsonStatus l_Status;
  {
    cPciBrdWrapper_sc l_Wrapper(l_Status);
    EXPECT_FALSE(l_Wrapper.IsSessionOpen());
    l_Wrapper.OpenSession(0, l_Status);
    EXPECT_TRUE(l_Wrapper.IsSessionOpen());
    EXPECT_EQ(1u, m_Probe.sessions());

    // Opening again closes the old session first.
    m_Probe.resetCalls();
    l_Wrapper.OpenSession(0, l_Status);
    EXPECT_EQ(1u, m_Probe.calls("CloseSession"));
    EXPECT_EQ(1u, m_Probe.sessions());
    EXPECT_TRUE(l_Wrapper.IsSessionOpen());

    EXPECT_EQ(0, l_Wrapper.CloseSession());
    EXPECT_FALSE(l_Wrapper.IsSessionOpen());
    EXPECT_EQ(0u, m_Probe.sessions());
    // Closing without a session still asks the component, and its answer
    // is returned, not recorded.
    EXPECT_EQ(QVPCIBRD_ERR_INVALID_SESSION, l_Wrapper.CloseSession());

    l_Wrapper.OpenSession(0, l_Status);
    EXPECT_EQ(1u, m_Probe.sessions());
  }
  // The destructor closed the open session.
  EXPECT_EQ(0u, m_Probe.sessions());
  EXPECT_EQ(0, l_Status.code);
}

TEST_F(PciBrdWrapper, FailedOpenLeavesTheWrapperClosed) {
  open();
  // Re-open against a description that refuses new sessions.
  qvztest::cSimSystem l_Refusing(std::string(kHost) + "[pcibrd]\nfail.OpenSession = -313007\n");
  JsonStatus l_Status;
  m_pWrapper->OpenSession(0, l_Status);
  EXPECT_EQ(QVPCIBRD_ERR_SYSTEM_DESCRIPTION, l_Status.code);
  EXPECT_EQ("m_PciBrdDynLib.OpenSession( a_Flags, &m_Session )",
            detailString(l_Status, "error_constant"));
  EXPECT_EQ("qvzelif", detailString(l_Status, "component"));
  EXPECT_FALSE(m_pWrapper->IsSessionOpen());
  EXPECT_EQ(0u, m_Probe.sessions());  // the old session was closed first
}

TEST_F(PciBrdWrapper, OpenWithWarningCountsAsOpen) {
  qvztest::cSimSystem l_System(std::string(kHost) + "[pcibrd]\nfail.OpenSession = 4\n");
  JsonStatus l_Status;
  cPciBrdWrapper_sc l_Wrapper(l_Status);
  l_Wrapper.OpenSession(0, l_Status);
  EXPECT_EQ(4, l_Status.code);
  EXPECT_TRUE(l_Wrapper.IsSessionOpen());
}

TEST_F(PciBrdWrapper, AnswersFromTheTree) {
  open();
  JsonStatus l_Status;
  const uint32_t l_Upstream = refAt(*m_pWrapper, 1, 0);
  const uint32_t l_Port1 = refAt(*m_pWrapper, 2, 0);

  uint8_t l_Bus = 0, l_Dev = 0xFF;
  m_pWrapper->GetBridgeAddress(l_Port1, &l_Bus, &l_Dev, nullptr, l_Status);
  EXPECT_EQ(2, l_Bus);
  EXPECT_EQ(0, l_Dev);

  cSlotPath l_Path;
  m_pWrapper->GetBridgeSlotPath(l_Port1, l_Path, l_Status);
  EXPECT_EQ("MR00:00,00,E0", slotText(l_Path));
  uint32_t l_Found = 0;
  m_pWrapper->FindBridgeBySlotPath(l_Path, l_Found, l_Status);
  EXPECT_EQ(l_Port1, l_Found);
  m_pWrapper->FindParentBridgeForBus(3, l_Found, l_Status);
  EXPECT_EQ(l_Port1, l_Found);
  m_pWrapper->GetBridgeParent(l_Port1, l_Found, l_Status);
  EXPECT_EQ(l_Upstream, l_Found);

  uint16_t l_Ids[4] = {};
  const uint32_t l_Chassis = refAt(*m_pWrapper, 3, 0);
  m_pWrapper->GetBridgeIds(l_Chassis, &l_Ids[0], &l_Ids[1], &l_Ids[2], &l_Ids[3], l_Status);
  EXPECT_EQ(0x12D8, l_Ids[0]);
  EXPECT_EQ(0xE112, l_Ids[1]);
  EXPECT_EQ(0x1F3C, l_Ids[2]);
  EXPECT_EQ(0x4130, l_Ids[3]);

  uint32_t l_Width = 0;
  m_pWrapper->GetAttributeU32(l_Port1, QVPCIBRD_ATTR_LINK_WIDTH, l_Width, l_Status);
  EXPECT_EQ(4u, l_Width);
  m_pWrapper->SetAttributeU32(l_Port1, QVPCIBRD_ATTR_LINK_SPEED, 9, l_Status);
  m_pWrapper->OpenBridge(l_Port1, l_Status);
  uint32_t l_Value = 0;
  m_pWrapper->GetAttributeU32(l_Port1, QVPCIBRD_ATTR_LINK_SPEED, l_Value, l_Status);
  EXPECT_EQ(9u, l_Value);
  EXPECT_EQ(0, m_pWrapper->CloseBridge(l_Port1));
  const uint8_t l_Image[4] = {1, 2, 3, 4};
  m_pWrapper->EepromUpdate(l_Port1, 0x1F3C, 0x5A30, 0, 0, 4, l_Image, l_Status);
  EXPECT_EQ(0, l_Status.code) << textOf(l_Status);

  // A failure is recorded, and the next operation with that status does nothing.
  m_pWrapper->GetAttributeU32(l_Chassis, QVPCIBRD_ATTR_LINK_WIDTH, l_Value, l_Status);
  EXPECT_EQ(qvstatus::kPciBrdAttrNotServed, l_Status.code);
  m_Probe.resetCalls();
  m_pWrapper->GetAttributeU32(l_Port1, QVPCIBRD_ATTR_LINK_WIDTH, l_Value, l_Status);
  EXPECT_EQ(0u, m_Probe.calls("GetAttributeU32"));
  EXPECT_EQ(9u, l_Value);
}

// One single-call operation: how to call it and the text it records.
struct sSingleCall {
  const char* m_pEntryPoint;
  std::function<void(iPciBrdWrapper_sc&, JsonStatus&)> m_Call;
  const char* m_pErrorConstant;
};

std::vector<sSingleCall> singleCalls() {
  // Outputs live in statics so that a test can see whether they changed.
  static uint32_t s_Ref;
  static uint8_t s_Byte;
  static uint16_t s_Id;
  static cSlotPath s_Path;
  static const uint8_t s_Image[2] = {1, 2};
  const uint32_t kBridge = 0x1000;  // the first bridge of the simulated tree
  return {
      {"FindBridgeByAddress",
       [](iPciBrdWrapper_sc& w, JsonStatus& s) { w.FindBridgeByAddress(2, 0, 0, s_Ref, s); },
       "m_PciBrdDynLib.FindBridgeByAddress( m_Session, a_Bus, a_Dev, a_Func, &a_rBridgeRef )"},
      {"FindBridgeBySlotPath",
       [](iPciBrdWrapper_sc& w, JsonStatus& s) {
         Status l_Parse;
         const cSlotPath l_Path("MR00:E0", l_Parse);
         w.FindBridgeBySlotPath(l_Path, s_Ref, s);
       },
       "m_PciBrdDynLib.FindBridgeBySlotPath( m_Session, a_rSlotPath, &a_rBridgeRef )"},
      {"FindParentBridgeForBus",
       [](iPciBrdWrapper_sc& w, JsonStatus& s) { w.FindParentBridgeForBus(3, s_Ref, s); },
       "m_PciBrdDynLib.FindParentBridgeForBus( m_Session, a_Bus, &a_rBridgeRef )"},
      {"GetBridgeParent",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) { w.GetBridgeParent(kBridge + 1, s_Ref, s); },
       "m_PciBrdDynLib.GetBridgeParent( m_Session, a_Child, &a_rBridgeRef )"},
      {"GetBridgeAddress",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) {
         w.GetBridgeAddress(kBridge, &s_Byte, &s_Byte, &s_Byte, s);
       },
       "m_PciBrdDynLib.GetBridgeAddress( m_Session, a_BridgeRef, a_pBus, a_pDev, a_pFunc )"},
      {"GetBridgeSlotPath",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) { w.GetBridgeSlotPath(kBridge, s_Path, s); },
       "m_PciBrdDynLib.GetBridgeSlotPath( m_Session, a_BridgeRef, a_rSlotPath )"},
      {"GetBridgeIds",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) {
         w.GetBridgeIds(kBridge, &s_Id, &s_Id, &s_Id, &s_Id, s);
       },
       "m_PciBrdDynLib.GetBridgeIds( m_Session, a_BridgeRef, a_pVid, a_pPid, a_pSsVid, a_pSsPid )"},
      {"SetAttributeU32",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) {
         w.SetAttributeU32(kBridge, QVPCIBRD_ATTR_PORT_NUMBER, 1, s);
       },
       "m_PciBrdDynLib.SetAttributeU32( m_Session, a_BridgeRef, a_AttributeId, a_Value )"},
      {"GetAttributeU32",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) {
         w.GetAttributeU32(kBridge, QVPCIBRD_ATTR_PORT_NUMBER, s_Ref, s);
       },
       "m_PciBrdDynLib.GetAttributeU32( m_Session, a_BridgeRef, a_AttributeId, "
       "&a_rAttributeBuffer )"},
      {"OpenBridge", [=](iPciBrdWrapper_sc& w, JsonStatus& s) { w.OpenBridge(kBridge, s); },
       "m_PciBrdDynLib.OpenBridge( m_Session, a_BridgeRef )"},
      {"EepromUpdate",
       [=](iPciBrdWrapper_sc& w, JsonStatus& s) {
         w.EepromUpdate(kBridge, 0x1234, 0x0001, 1, 2, 2, s_Image, s);
       },
       "m_PciBrdDynLib.EepromUpdate( m_Session, a_Bridge, a_Vid, a_Pid, a_AlwaysOverwrite, "
       "a_UpdateMethod, a_ByteCount, a_pBuffer )"},
  };
}

TEST_F(PciBrdWrapper, EachFailedCallIsRecordedWithItsText) {
  for (const sSingleCall& l_rCall : singleCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    open(std::string("fail.") + l_rCall.m_pEntryPoint + " = -313099");
    JsonStatus l_Status;
    l_rCall.m_Call(*m_pWrapper, l_Status);
    EXPECT_EQ(-313099, l_Status.code);
    EXPECT_EQ(l_rCall.m_pErrorConstant, detailString(l_Status, "error_constant"));
    EXPECT_EQ("qvzelif", detailString(l_Status, "component"));
    EXPECT_NE(std::string::npos, detailString(l_Status, "file").find("cPciBrdWrapper_sc.cpp"));
  }
}

TEST_F(PciBrdWrapper, WarningsAreRecordedAndDoNotStopLaterCalls) {
  for (const sSingleCall& l_rCall : singleCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    // The slot path's text is parsed after a warning, and the parse result
    // is what the binding answers.
    if (std::string(l_rCall.m_pEntryPoint) == "GetBridgeSlotPath") continue;
    open(std::string("fail.") + l_rCall.m_pEntryPoint + " = 6");
    JsonStatus l_Status;
    l_rCall.m_Call(*m_pWrapper, l_Status);
    EXPECT_EQ(6, l_Status.code);
    EXPECT_EQ(l_rCall.m_pErrorConstant, detailString(l_Status, "error_constant"));
    m_Probe.resetCalls();
    l_rCall.m_Call(*m_pWrapper, l_Status);
    EXPECT_EQ(1u, m_Probe.calls(l_rCall.m_pEntryPoint));
  }
}

TEST_F(PciBrdWrapper, CloseCallsReturnTheirResultUnrecorded) {
  open("fail.CloseBridge = -313099\nfail.CloseSession = -313098");
  JsonStatus l_Status;
  m_pWrapper->OpenBridge(0x1000, l_Status);
  EXPECT_EQ(-313099, m_pWrapper->CloseBridge(0x1000));
  EXPECT_EQ(-313098, m_pWrapper->CloseSession());
  EXPECT_FALSE(m_pWrapper->IsSessionOpen());
}

// One list operation: how to call it and its two texts.
struct sListCall {
  const char* m_pEntryPoint;
  std::function<void(iPciBrdWrapper_sc&, std::vector<uint32_t>&, JsonStatus&)> m_Call;
  std::vector<uint32_t> m_Expected;  // on the host
  const char* m_pFirstText;
  const char* m_pSecondText;
};

std::vector<sListCall> listCalls() {
  static const uint16_t s_Vendor = 0x1F3C, s_Device = 0x5A30;
  return {
      {"FindBridgesByPciIds",
       [](iPciBrdWrapper_sc& w, std::vector<uint32_t>& v, JsonStatus& s) {
         w.FindBridgesByPciIds(&s_Vendor, &s_Device, nullptr, nullptr, v, s);
       },
       {0x1001, 0x1002, 0x1003},
       "m_PciBrdDynLib.FindBridgesByPciIds( m_Session, a_pVid, a_pPid, a_pSsVid, a_pSsPid, "
       "__null, &l_BridgeCount )",
       "m_PciBrdDynLib.FindBridgesByPciIds( m_Session, a_pVid, a_pPid, a_pSsVid, a_pSsPid, "
       "&l_Bridges[0], &l_BridgeCount )"},
      {"GetBridgeChildren",
       [](iPciBrdWrapper_sc& w, std::vector<uint32_t>& v, JsonStatus& s) {
         w.GetBridgeChildren(0x1001, v, s);
       },
       {0x1002, 0x1003, 0x1004},
       "m_PciBrdDynLib.GetBridgeChildren( m_Session, a_Parent, __null, &l_ChildrenCount )",
       "m_PciBrdDynLib.GetBridgeChildren( m_Session, a_Parent, &l_Child[0], &l_ChildrenCount )"},
      {"GetBusChildren",
       [](iPciBrdWrapper_sc& w, std::vector<uint32_t>& v, JsonStatus& s) {
         w.GetBusChildren(2, v, s);
       },
       {0x1002, 0x1003, 0x1004},
       "m_PciBrdDynLib.GetBusChildren( m_Session, a_Bus, __null, &l_ChildrenCount )",
       "m_PciBrdDynLib.GetBusChildren( m_Session, a_Bus, &l_Child[0], &l_ChildrenCount )"},
      {"GetRootBuses",
       [](iPciBrdWrapper_sc& w, std::vector<uint32_t>& v, JsonStatus& s) { w.GetRootBuses(v, s); },
       {0x00, 0x40},
       "m_PciBrdDynLib.GetRootBuses( m_Session, __null, &l_RootBusCount )",
       "m_PciBrdDynLib.GetRootBuses( m_Session, &l_RootBuses[0], &l_RootBusCount )"},
  };
}

const std::vector<uint32_t> kSentinel = {0xDEAD, 0xBEEF};

TEST_F(PciBrdWrapper, ListsAreCountedThenFilled) {
  open();
  for (const sListCall& l_rCall : listCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    m_Probe.resetCalls();
    JsonStatus l_Status;
    l_Status.setCode(9);  // a warning held before is dropped with the -313002 answer
    std::vector<uint32_t> l_List = kSentinel;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Status);
    EXPECT_EQ(l_rCall.m_Expected, l_List);
    EXPECT_EQ(0, l_Status.code);
    EXPECT_EQ("{}", textOf(l_Status));
    EXPECT_EQ(2u, m_Probe.calls(l_rCall.m_pEntryPoint));
  }
}

TEST_F(PciBrdWrapper, FirstCallAnsweringZeroLeavesTheListAlone) {
  // Natural empty answers: a bridge without children, a bus without bridges.
  open();
  JsonStatus l_Status;
  std::vector<uint32_t> l_List = kSentinel;
  m_pWrapper->GetBridgeChildren(0x1005, l_List, l_Status);  // the chassis bridge
  m_pWrapper->GetBusChildren(0x40, l_List, l_Status);
  EXPECT_EQ(kSentinel, l_List);
  EXPECT_EQ(0, l_Status.code);
  EXPECT_EQ(1u, m_Probe.calls("GetBridgeChildren"));
  EXPECT_EQ(1u, m_Probe.calls("GetBusChildren"));

  // And for every operation, a first call made to answer 0.
  for (const sListCall& l_rCall : listCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    open(std::string("fail.") + l_rCall.m_pEntryPoint + ".count = 0");
    l_rCall.m_Call(*m_pWrapper, l_List, l_Status);
    EXPECT_EQ(kSentinel, l_List);
    EXPECT_EQ(0, l_Status.code);
    EXPECT_EQ(1u, m_Probe.calls(l_rCall.m_pEntryPoint));
  }
}

TEST_F(PciBrdWrapper, TooSmallForNoEntriesGivesAnEmptyList) {
  // -313002 with a count of 0: there is nothing to fill, so no second call
  // (and no array of no entries to pass).
  for (const sListCall& l_rCall : listCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    open(std::string("fail.") + l_rCall.m_pEntryPoint + ".count = -313002");
    JsonStatus l_Status;
    std::vector<uint32_t> l_List = kSentinel;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Status);
    EXPECT_TRUE(l_List.empty());
    EXPECT_EQ(0, l_Status.code);
    EXPECT_EQ(1u, m_Probe.calls(l_rCall.m_pEntryPoint));
  }
}

TEST_F(PciBrdWrapper, FailedListCallsAreRecordedUnderTheirTexts) {
  for (const sListCall& l_rCall : listCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    const std::string l_Fail = std::string("fail.") + l_rCall.m_pEntryPoint;
    // First call fails: no second call.
    open(l_Fail + ".count = -313099");
    JsonStatus l_First;
    std::vector<uint32_t> l_List = kSentinel;
    l_rCall.m_Call(*m_pWrapper, l_List, l_First);
    EXPECT_EQ(-313099, l_First.code);
    EXPECT_EQ(l_rCall.m_pFirstText, detailString(l_First, "error_constant"));
    EXPECT_EQ(1u, m_Probe.calls(l_rCall.m_pEntryPoint));
    EXPECT_EQ(kSentinel, l_List);

    // Second call fails: the list stays as it was.
    open(l_Fail + ".fill = -313098");
    JsonStatus l_Second;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Second);
    EXPECT_EQ(-313098, l_Second.code);
    EXPECT_EQ(l_rCall.m_pSecondText, detailString(l_Second, "error_constant"));
    EXPECT_EQ(2u, m_Probe.calls(l_rCall.m_pEntryPoint));
    EXPECT_EQ(kSentinel, l_List);

    // A warning on the second call is kept, and the list is handed out.
    open(l_Fail + ".fill = 8");
    JsonStatus l_Warned;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Warned);
    EXPECT_EQ(8, l_Warned.code);
    EXPECT_EQ(l_rCall.m_pSecondText, detailString(l_Warned, "error_constant"));
    EXPECT_EQ(l_rCall.m_Expected, l_List);
    l_List = kSentinel;
  }
}

TEST_F(PciBrdWrapper, BrokenCountsEndInOverflow) {
  for (const sListCall& l_rCall : listCalls()) {
    SCOPED_TRACE(l_rCall.m_pEntryPoint);
    // The fill call claims more entries than the first call reported.
    open("quirk.lists = grow-count");
    JsonStatus l_Grown;
    std::vector<uint32_t> l_List = kSentinel;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Grown);
    EXPECT_EQ(qvstatus::kOverflow, l_Grown.code);
    EXPECT_EQ(l_rCall.m_pSecondText, detailString(l_Grown, "error_constant"));
    EXPECT_EQ(kSentinel, l_List);

    // A count no PCI tree can have is refused before anything is allocated.
    open("quirk.lists = huge-count");
    JsonStatus l_Huge;
    l_rCall.m_Call(*m_pWrapper, l_List, l_Huge);
    EXPECT_EQ(qvstatus::kOverflow, l_Huge.code);
    EXPECT_EQ(l_rCall.m_pFirstText, detailString(l_Huge, "error_constant"));
    EXPECT_EQ(1u, m_Probe.calls(l_rCall.m_pEntryPoint));
    EXPECT_EQ(kSentinel, l_List);
  }
}

TEST_F(PciBrdWrapper, FailedStatusMakesNoCallAndTouchesNoOutput) {
  open();
  std::vector<uint32_t> l_List = kSentinel;
  for (const sListCall& l_rCall : listCalls()) {
    JsonStatus l_Status;
    l_Status.setCode(qvstatus::kNotFound);
    l_rCall.m_Call(*m_pWrapper, l_List, l_Status);
    EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
    EXPECT_EQ(0u, m_Probe.calls(l_rCall.m_pEntryPoint)) << l_rCall.m_pEntryPoint;
  }
  EXPECT_EQ(kSentinel, l_List);
  for (const sSingleCall& l_rCall : singleCalls()) {
    JsonStatus l_Status;
    l_Status.setCode(qvstatus::kNotFound);
    l_rCall.m_Call(*m_pWrapper, l_Status);
    EXPECT_EQ(0u, m_Probe.calls(l_rCall.m_pEntryPoint)) << l_rCall.m_pEntryPoint;
  }
  JsonStatus l_Failed;
  l_Failed.setCode(qvstatus::kNotFound);
  m_pWrapper->OpenSession(0, l_Failed);
  EXPECT_EQ(0u, m_Probe.calls("OpenSession"));
  EXPECT_EQ(0u, m_Probe.calls("CloseSession"));
  EXPECT_TRUE(m_pWrapper->IsSessionOpen());
}

TEST_F(PciBrdWrapper, BrokenSlotPathAnswerIsRecorded) {
  open("quirk.GetBridgeSlotPath = no-nul");
  JsonStatus l_Status;
  Status l_Parse;
  cSlotPath l_Path("MR01:08", l_Parse);
  m_pWrapper->GetBridgeSlotPath(0x1000, l_Path, l_Status);
  EXPECT_EQ(qvstatus::kInternal, l_Status.code);
  EXPECT_EQ("m_PciBrdDynLib.GetBridgeSlotPath( m_Session, a_BridgeRef, a_rSlotPath )",
            detailString(l_Status, "error_constant"));
  EXPECT_EQ("MR01:08", slotText(l_Path));
}

TEST(PciBrdWrapperWithoutLibrary, EveryOperationAnswersUnavailable) {
  qvztest::expectChildPasses("WrapperWithoutLibrary", {"LD_LIBRARY_PATH=/nonexistent"});
}
QVZ_CHILD_CASE(WrapperWithoutLibrary) {
  JsonStatus l_Construction;
  cPciBrdWrapper_sc l_Wrapper(l_Construction);
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Construction.code);

  JsonStatus l_Open;
  l_Wrapper.OpenSession(0, l_Open);
  EXPECT_EQ(qvstatus::kPciBrdUnavailable, l_Open.code);
  EXPECT_EQ("m_PciBrdDynLib.OpenSession( a_Flags, &m_Session )",
            detailString(l_Open, "error_constant"));
  EXPECT_FALSE(l_Wrapper.IsSessionOpen());
  for (const sSingleCall& l_rCall : singleCalls()) {
    JsonStatus l_Status;
    l_rCall.m_Call(l_Wrapper, l_Status);
    EXPECT_EQ(qvstatus::kPciBrdUnavailable, l_Status.code) << l_rCall.m_pEntryPoint;
    EXPECT_EQ(l_rCall.m_pErrorConstant, detailString(l_Status, "error_constant"));
  }
  for (const sListCall& l_rCall : listCalls()) {
    JsonStatus l_Status;
    std::vector<uint32_t> l_List = kSentinel;
    l_rCall.m_Call(l_Wrapper, l_List, l_Status);
    EXPECT_EQ(qvstatus::kPciBrdUnavailable, l_Status.code) << l_rCall.m_pEntryPoint;
    EXPECT_EQ(l_rCall.m_pFirstText, detailString(l_Status, "error_constant"));
    EXPECT_EQ(kSentinel, l_List);
  }
  EXPECT_EQ(0, l_Wrapper.CloseBridge(0x1000));
  EXPECT_EQ(0, l_Wrapper.CloseSession());
}

}  // namespace
