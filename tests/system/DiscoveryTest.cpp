// SPDX-License-Identifier: LGPL-2.1-or-later
// Discovery through the exported functions: what a list holds, in which
// order, and which candidates are skipped.
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

constexpr const char kIntegrated[] = "QV PXI-2250 Integrated ZEL Express";
constexpr const char kPxi4120[] = "QV PXI-4120";
constexpr const char kPxi4125[] = "QV PXI-4125";
constexpr const char kPxi4135[] = "QV PXI-4135";
constexpr const char kZel7[] = "PXI-ZEL-7";
constexpr const char kPxi4140[] = "QV PXI-4140";
constexpr const char kPxie6510[] = "QV PXIe-6510";
constexpr const char kPxie6550[] = "QV PXIe-6550";

sBridge bridge(const std::string& a_rName, const std::string& a_rParent, int a_Bus, int a_Device,
               int a_Function, int a_Secondary) {
  sBridge l_Bridge;
  l_Bridge.m_Name = a_rName;
  l_Bridge.m_Parent = a_rParent;
  l_Bridge.m_Bus = a_Bus;
  l_Bridge.m_Device = a_Device;
  l_Bridge.m_Function = a_Function;
  l_Bridge.m_Secondary = a_Secondary;
  return l_Bridge;
}

sBridge withIds(sBridge a_Bridge, uint32_t a_Vid, uint32_t a_Did, uint32_t a_SsVid,
                uint32_t a_SsId) {
  a_Bridge.m_VendorId = a_Vid;
  a_Bridge.m_DeviceId = a_Did;
  a_Bridge.m_SubsystemVendorId = a_SsVid;
  a_Bridge.m_SubsystemId = a_SsId;
  return a_Bridge;
}

sInterface device(const std::string& a_rName, const std::string& a_rClass, uint32_t a_Vid,
                  uint32_t a_Did, int a_Bus, int a_Device, int a_Function) {
  sInterface l_Interface;
  l_Interface.m_Name = a_rName;
  l_Interface.m_Class = a_rClass;
  l_Interface.m_VendorId = a_Vid;
  l_Interface.m_DeviceId = a_Did;
  l_Interface.m_Bus = a_Bus;
  l_Interface.m_Device = a_Device;
  l_Interface.m_Function = a_Function;
  return l_Interface;
}

// The integrated controller of row 0 on bus 0x11 behind root port 0x1d.
std::string integratedController() {
  sBridge l_Controller =
      withIds(bridge("ctl2250", "rpB", 0, 0, 0, 0x11), 0x104C, 0x8231, 0x1F3C, 0x5A21);
  l_Controller.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 7}};
  sBridge l_Root = bridge("rpB", "", 0, 0x1d, 0, 0x10);
  l_Root.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 5}};
  return bridgeText(l_Root) + bridgeText(l_Controller);
}

// A PXI-4120 whose driver interface sits on bus 0x20 below root port 0x1e,
// function 0; its pattern "-,f2" leads to function 2 of that root port. With
// a_WithRow2Ids that bridge carries the identifiers of row 2, so the same
// controller is found by rows 1 and 2.
std::string pxi4120(bool a_WithRow2Ids) {
  sBridge l_Function2 = bridge("rpC2", "", 0, 0x1e, 2, -1);
  if (a_WithRow2Ids) l_Function2 = withIds(l_Function2, 0x104C, 0x8231, 0x1F3C, 0x5A02);
  l_Function2.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 2}};
  return bridgeText(bridge("rpC", "", 0, 0x1e, 0, 0x20)) + bridgeText(l_Function2) +
         interfaceText(device("pxi4120", "nQVZEL_1_0_Pxi4120", 0x1F3C, 0x5A02, 0x20, 0, 0));
}

// An IDT upstream card (row 9): interface on bus 0x30 below root port 0x1b;
// its pattern "f0,d4f0" leads to downstream port 4 below the card's own
// function-0 bridge.
std::string idtCard() {
  sBridge l_Port = bridge("idtdp4", "idtup", 0, 4, 0, 0x32);
  l_Port.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
  sInterface l_Card = device("idt0", "nQVZEL_1_0_IdtUpstreamZEL", 0x111D, 0x8088, 0x30, 0, 0);
  l_Card.m_SubsystemVendorId = 0x1F3C;
  l_Card.m_SubsystemId = 0x5A10;
  l_Card.m_Serial = "IDT-0042";
  return bridgeText(bridge("rpD", "", 0, 0x1b, 0, 0x30)) +
         bridgeText(bridge("idtup", "rpD", 0, 0, 0, 0x31)) + bridgeText(l_Port) +
         interfaceText(l_Card);
}

// A PXI-4125 controller (row 3) on root bus 0.
sBridge pericom(int a_Device) {
  sBridge l_Pericom =
      withIds(bridge("p4125", "", 0, a_Device, 0, -1), 0x12D8, 0xE112, 0x1F3C, 0x4125);
  l_Pericom.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 6}};
  return l_Pericom;
}

// One device of nearly every row kind, listed in file order that differs
// from the table's order.
std::string mixedHost() {
  sBridge l_Upstream4140 =
      withIds(bridge("p4140", "", 0, 3, 0, -1), 0x12D8, 0xE111, 0x1F3C, 0x4140);
  l_Upstream4140.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
  // Controllers report attribute QVPCIBRD_ATTR_PORT_NUMBER of their bridge, so it is served.
  sBridge l_Zel7Bridge = bridge("zel7", "rpF", 0, 0, 0, -1);
  l_Zel7Bridge.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 3}};
  sBridge l_Pxi4135Root = bridge("rpE", "", 0, 0x1a, 0, 0x40);
  sBridge l_Pxi4135Target = bridge("rpE2", "", 0, 0x1a, 2, -1);
  l_Pxi4135Target.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 4}};
  return fourPortHost({4, 4, 4, 4}) + interfaceText(fourPortCard()) + bridgeText(l_Upstream4140) +
         idtCard() + bridgeText(pericom(2)) + pxi4120(false) + integratedController() +
         bridgeText(bridge("rpF", "", 0, 0x19, 0, 0x50)) + bridgeText(l_Zel7Bridge) +
         interfaceText(device("zel7dev", "nQVZEL_1_0_Zel7Device", 0x1F3C, 0x5A04, 0x50, 0, 1)) +
         bridgeText(l_Pxi4135Root) + bridgeText(l_Pxi4135Target) +
         interfaceText(device("pxi4135", "nQVZEL_1_0_Pxi4135", 0x1F3C, 0x5A08, 0x40, 0, 0));
}

class Discovery : public SystemTest {};

TEST_F(Discovery, AnEmptyMachineGivesNoItemsAndLeavesNothingOpen) {
  load("");
  const int l_Files = openFileCount();
  uint32_t l_Count = 77;
  void* l_pList = &l_Count;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
  EXPECT_EQ(l_Count, 0u);
  EXPECT_EQ(l_pList, nullptr);
  EXPECT_EQ(openBridgeSessions(), 0u);
  EXPECT_EQ(openFileCount(), l_Files);

  // Without the kernel driver's tree at all the answer is the same.
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::removeSystem(l_Error)) << l_Error;
  l_Count = 77;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
  EXPECT_EQ(l_Count, 0u);
  EXPECT_EQ(l_pList, nullptr);
}

TEST_F(Discovery, EveryKindOfRowIsFoundInTableOrderWithFileControllersLast) {
  load(mixedHost());
  writeControllerFile(
      "[chassis]\nVendorName = Other Maker\nModelName = Link Chassis 9\nSlotPath = MR00:E0\n");
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  const std::vector<std::string> l_Expected = {kIntegrated, kPxi4120,  kPxi4125,
                                               kPxi4135,    kZel7,     kPxi4140,
                                               kPxie6510,   kPxie6550, "Link Chassis 9"};
  EXPECT_EQ(modelNames(l_List), l_Expected);
  EXPECT_EQ(openBridgeSessions(), 1u);
  l_List.close();
  EXPECT_EQ(openBridgeSessions(), 0u);
}

TEST_F(Discovery, SlotPathsComeFromTheBridgeOrThePatterns) {
  load(mixedHost());
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  struct sCase {
    const char* m_pModel;
    const char* m_pSlotPath;
    uint32_t m_Bus, m_Device, m_Function;
  };
  const sCase l_Cases[] = {
      {kIntegrated, "MR00:00,E8", 0x10, 0, 0},   // the bridge found by its identifiers
      {kPxi4120, "MR00:F2", 0x20, 0, 0},         // "-,f2" from the interface's device
      {kZel7, "MR00:00,C8", 0x50, 0, 1},         // "f0": function 0 of the device
      {kPxie6510, "MR00:20,00,D8", 0x30, 0, 0},  // "f0,d4f0"
      {kPxie6550, "MR00:00,00,E0", 3, 0, 0},     // "-,-,d0f0" and three more
  };
  for (const sCase& l_rCase : l_Cases) {
    SCOPED_TRACE(l_rCase.m_pModel);
    const int l_Index = findModel(l_List, l_rCase.m_pModel);
    ASSERT_GE(l_Index, 0);
    void* l_pItem = l_List.item(l_Index);
    EXPECT_EQ(text(l_pItem, QVZEL_ATTR_SLOT_PATH), l_rCase.m_pSlotPath);
    EXPECT_EQ(number(l_pItem, QVZEL_ATTR_PCI_BUS), l_rCase.m_Bus);
    EXPECT_EQ(number(l_pItem, QVZEL_ATTR_PCI_DEVICE), l_rCase.m_Device);
    EXPECT_EQ(number(l_pItem, QVZEL_ATTR_PCI_FUNCTION), l_rCase.m_Function);
  }
}

TEST_F(Discovery, OneDeviceFoundByRowsOneAndTwoIsListedTwice) {
  load(pxi4120(true));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{kPxi4120, kPxi4120}));
  // Row 1 (device interface, no subsystem identifiers) comes first, row 2
  // (PCI identifiers with subsystem identifiers) second.
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_PRODUCT_ID), 0x5A02u);
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_PCI_BUS), 0x20u);
  EXPECT_EQ(number(l_List.item(1), QVZEL_ATTR_PCI_BUS), 0u);
  EXPECT_EQ(text(l_List.item(0), QVZEL_ATTR_SLOT_PATH), text(l_List.item(1), QVZEL_ATTR_SLOT_PATH));
  EXPECT_NE(l_List.item(0), l_List.item(1));
}

TEST_F(Discovery, SubsystemIdentifiersMustMatchWhereTheRowHasThem) {
  sInterface l_Card = fourPortCard();
  l_Card.m_SubsystemId = 0x5A99;
  sBridge l_Controller = withIds(bridge("ctl", "", 0, 4, 0, -1), 0x104C, 0x8231, 0x1F3C, 0x5A99);
  sBridge l_Plain = withIds(bridge("plain", "", 0, 6, 0, -1), 0x104C, 0x8231, 0, 0);
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(l_Card) + bridgeText(l_Controller) +
       bridgeText(l_Plain));
  cList l_List;
  EXPECT_EQ(l_List.code(), 0);
  EXPECT_EQ(l_List.count(), 0u);
}

TEST_F(Discovery, TheTerminatingRowFindsBridgesWithIdentifiersZero) {
  sBridge l_Blank = bridge("blank", "", 0, 7, 0, -1);
  l_Blank.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
  l_Blank.m_VendorId = 0;
  l_Blank.m_DeviceId = 0;
  load(bridgeText(l_Blank));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 1u);
  void* l_pItem = l_List.item(0);
  EXPECT_EQ(number(l_pItem, QVZEL_ATTR_DEVICE_CLASS), 1u);
  EXPECT_EQ(number(l_pItem, QVZEL_ATTR_VENDOR_ID), 0u);
  const char* l_pName = nullptr;
  EXPECT_EQ(nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_MODEL_NAME, &l_pName),
            QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_pName, nullptr);
}

// Four-port cards: each bridge occupies its width divided by 4 port names.
struct sPortCase {
  const char* m_pName;
  std::vector<int> m_Widths;  // -1: width attribute not served
  bool m_Listed;
  std::vector<std::string> m_PortNames;
};

void PrintTo(const sPortCase& a_rCase, std::ostream* a_pOut) { *a_pOut << a_rCase.m_pName; }

class FourPortCard : public SystemTest, public ::testing::WithParamInterface<sPortCase> {};

TEST_P(FourPortCard, PortsFollowTheWidthRule) {
  const sPortCase& l_rCase = GetParam();
  load(fourPortHost(l_rCase.m_Widths) + interfaceText(fourPortCard()));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  if (!l_rCase.m_Listed) {
    EXPECT_EQ(l_List.count(), 0u);
    return;
  }
  ASSERT_EQ(l_List.count(), 1u);
  void* l_pCard = l_List.item(0);
  ASSERT_EQ(number(l_pCard, QVZEL_ATTR_PORT_COUNT), l_rCase.m_PortNames.size());
  for (uint32_t l_Port = 0; l_Port < l_rCase.m_PortNames.size(); ++l_Port) {
    EXPECT_EQ(text(l_pCard, QVZEL_ATTR_PORT_NAME + l_Port), l_rCase.m_PortNames[l_Port]);
    EXPECT_EQ(number(l_pCard, QVZEL_ATTR_PORT_NUMBER + l_Port), l_Port + 1);
    EXPECT_EQ(number(l_pCard, QVZEL_ATTR_PORT_LINK_WIDTH + l_Port),
              static_cast<uint32_t>(l_rCase.m_Widths[l_Port]));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Widths, FourPortCard,
    ::testing::Values(sPortCase{"OneBridgeOfWidth16", {16}, true, {"1"}},
                      sPortCase{"FourBridgesOfWidth4", {4, 4, 4, 4}, true, {"1", "2", "3", "4"}},
                      sPortCase{"TwoBridgesOfWidth8", {8, 8}, true, {"1", "3"}},
                      sPortCase{"AllWidthsZeroIsSkipped", {0, 0, 0, 0}, false, {}},
                      sPortCase{"Widths8And16AreSkipped", {8, 16}, false, {}},
                      sPortCase{"TooFewNamesIsSkipped", {4, 4, 4}, false, {}},
                      sPortCase{"AnUnservedWidthEndsThePortList", {4, -1, 4, 4}, true, {"1"}}),
    [](const ::testing::TestParamInfo<sPortCase>& a_rInfo) { return a_rInfo.param.m_pName; });

TEST_F(Discovery, AFailingBridgeEndsItsRowButKeepsTheDevicesBeforeIt) {
  std::string l_System;
  for (int l_Index = 0; l_Index < 3; ++l_Index) {
    sBridge l_Controller =
        withIds(bridge("ctl" + std::to_string(l_Index), "", 0, 8 + l_Index, 0, -1), 0x104C, 0x8231,
                0x1F3C, 0x5A21);
    l_Controller.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
    if (l_Index == 1) l_Controller.m_Extra = "fail.GetBridgeSlotPath = -313006\n";
    l_System += bridgeText(l_Controller);
  }
  // Another row still finds its device.
  load(l_System + bridgeText(pericom(2)));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{kIntegrated, kPxi4125}));
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_PCI_DEVICE), 8u);
}

TEST_F(Discovery, InterfacesThatFailAreSkippedOneByOne) {
  // Interfaces are visited in path order: a, b, c. The first lacks its bus
  // number, the second has a serial number without a terminating zero, the
  // third an empty serial number property.
  const std::string l_Rows = fourPortHost({16}) +
                             "[interface a]\npciVendorID = 0x1F3C\npciDeviceID = 0x5A30\n"
                             "pciSubsystemVendorID = 0x1F3C\npciSubsystemID = 0x5A31\n"
                             "pciDeviceNumber = 0\npciFunctionNumber = 0\n\n" +
                             "[interface b]\npciVendorID = 0x1F3C\npciDeviceID = 0x5A30\n"
                             "pciSubsystemVendorID = 0x1F3C\npciSubsystemID = 0x5A31\n"
                             "pciBusNumber = 3\npciDeviceNumber = 0\npciFunctionNumber = 0\n"
                             "deviceProperty.serialNumber = 53 4E 2D 39\n\n" +
                             "[interface c]\npciVendorID = 0x1F3C\npciDeviceID = 0x5A30\n"
                             "pciSubsystemVendorID = 0x1F3C\npciSubsystemID = 0x5A31\n"
                             "pciBusNumber = 3\npciDeviceNumber = 0\npciFunctionNumber = 0\n"
                             "deviceProperty.serialNumber =\n\n";
  load(l_Rows);
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  EXPECT_EQ(text(l_List.item(0), QVZEL_ATTR_SERIAL_NUMBER), "SN-9");
  const char* l_pSerial = nullptr;
  EXPECT_EQ(
      nQVPXIFINDER100_getStringAttribute(l_List.item(1), QVZEL_ATTR_SERIAL_NUMBER, &l_pSerial),
      QVZEL_ERR_NOT_SUPPORTED);
  ASSERT_NE(l_pSerial, nullptr);
  EXPECT_STREQ(l_pSerial, "");
}

TEST_F(Discovery, ControllerFileSectionsAreCheckedOneByOne) {
  load(integratedController());
  writeControllerFile(
      "; controllers of the lab\n"
      "[good]\nVendorName = Other Maker\nModelName = Chassis A\nSlotPath = MR00:E8\n"
      "[no_model]\nVendorName = Other Maker\nModelName =\nSlotPath = MR00:E8\n"
      "[no_bridge]\nVendorName = Other Maker\nModelName = Chassis B\nSlotPath = MR00:07,E8\n"
      "[bad_path]\nVendorName = Other Maker\nModelName = Chassis C\nSlotPath = not a path\n"
      "[same_again]\nVendorName = \"\"\nModelName = Chassis D\nSlotPath = MR00:00,E8\n");
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  // The table's controller first, then the file's in file order; the table's
  // controller is named by the file too and so appears twice.
  EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{kIntegrated, "Chassis A", "Chassis D"}));
  void* l_pFileController = l_List.item(1);
  EXPECT_EQ(text(l_pFileController, QVZEL_ATTR_VENDOR_NAME), "Other Maker");
  EXPECT_EQ(text(l_pFileController, QVZEL_ATTR_SLOT_PATH), "MR00:E8");
  EXPECT_EQ(number(l_pFileController, QVZEL_ATTR_PCI_BUS), 0u);
  EXPECT_EQ(number(l_pFileController, QVZEL_ATTR_PCI_DEVICE), 0x1du);
  // An empty vendor text falls back to the library's own vendor name.
  EXPECT_EQ(text(l_List.item(2), QVZEL_ATTR_VENDOR_NAME), "Quovex");
  EXPECT_EQ(number(l_List.item(2), QVZEL_ATTR_CONTROLLER_PORT), 7u);
}

TEST_F(Discovery, AControllerFileAloneMakesAList) {
  sBridge l_Root = bridge("rp", "", 0, 0x1c, 0, 1);
  l_Root.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 9}};
  load(bridgeText(l_Root));
  writeControllerFile("[c]\nVendorName = V\nModelName = M\nSlotPath = MR00:E0\n");
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 1u);
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_IS_INTEGRATED), 0u);
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_CONTROLLER_PORT), 9u);
  EXPECT_EQ(number(l_List.item(0), QVZEL_ATTR_PRODUCT_ID), 0u);
}

}  // namespace
}  // namespace systest
