// SPDX-License-Identifier: LGPL-2.1-or-later
// Attributes, the IDSEL map and the handle rules, read through the exported
// functions from items of a simulated machine.
#include <cstring>
#include <memory>

#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

// A four-port card (row 13) with four ports of width 4, an upstream card
// found by PCI identifiers (row 7) and the integrated controller (row 0).
std::string attributeHost() {
  sBridge l_Upstream;
  l_Upstream.m_Name = "p4140";
  l_Upstream.m_Device = 3;
  l_Upstream.m_VendorId = 0x12D8;
  l_Upstream.m_DeviceId = 0xE111;
  l_Upstream.m_SubsystemVendorId = 0x1F3C;
  l_Upstream.m_SubsystemId = 0x4140;
  l_Upstream.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 0x31}};
  const sBridge l_Controller = switchController(0x21);
  return fourPortHost({4, 4, 4, 4}) + interfaceText(fourPortCard()) + bridgeText(l_Upstream) +
         bridgeText(l_Controller);
}

class Attributes : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(attributeHost());
    writeControllerFile("[c]\nVendorName = Other Maker\nModelName = Chassis\nSlotPath = MR00:E0\n");
    m_pList.reset(new cList);
    ASSERT_EQ(m_pList->code(), 0);
    ASSERT_EQ(modelNames(*m_pList),
              (std::vector<std::string>{"QV PXI-2250 Integrated ZEL Express", "QV PXI-4140",
                                        "QV PXIe-6550", "Chassis"}));
    m_pController = m_pList->item(0);
    m_pSinglePort = m_pList->item(1);
    m_pCard = m_pList->item(2);
    m_pFileController = m_pList->item(3);
  }

  static int32_t u32(void* a_pItem, uint32_t a_Id, uint32_t* a_pValue) {
    return nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, a_pValue);
  }
  static int32_t str(void* a_pItem, uint32_t a_Id, const char** a_ppValue) {
    return nQVPXIFINDER100_getStringAttribute(a_pItem, a_Id, a_ppValue);
  }

  std::unique_ptr<cList> m_pList;
  void* m_pController = nullptr;
  void* m_pSinglePort = nullptr;
  void* m_pCard = nullptr;
  void* m_pFileController = nullptr;
};

TEST_F(Attributes, UpstreamCardAnswersItsTextAttributes) {
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_VENDOR_NAME), "Quovex");
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_MODEL_NAME), "QV PXIe-6550");
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_SLOT_PATH), "MR00:00,00,E0");
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_SERIAL_NUMBER), "01A2B3C4");
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_PART_NUMBER), "410733-01");
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_DEVICE_DESCRIPTION), "PXI Bus Extension Module");
  for (uint32_t l_Port = 0; l_Port < 4; ++l_Port) {
    EXPECT_EQ(text(m_pCard, QVZEL_ATTR_PORT_NAME + l_Port), std::to_string(l_Port + 1));
  }
  // Both slot-path identifiers hand out one text, the same pointer each time.
  const char* l_pFirst = nullptr;
  const char* l_pSecond = nullptr;
  const char* l_pThird = nullptr;
  ASSERT_EQ(str(m_pCard, QVZEL_ATTR_SLOT_PATH, &l_pFirst), 0);
  ASSERT_EQ(str(m_pCard, QVZEL_ATTR_SLOT_PATH_2, &l_pSecond), 0);
  ASSERT_EQ(str(m_pCard, QVZEL_ATTR_SLOT_PATH, &l_pThird), 0);
  EXPECT_EQ(l_pFirst, l_pSecond);
  EXPECT_EQ(l_pFirst, l_pThird);
}

TEST_F(Attributes, UpstreamCardAnswersItsNumberAttributes) {
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_DEVICE_CLASS), 0xF000u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_VENDOR_ID), 0x1F3Cu);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PRODUCT_ID), 0x5A31u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PCI_BUS), 3u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PCI_DEVICE), 0u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PCI_FUNCTION), 0u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_COUNT), 4u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_WIDTH), 4u);
  for (uint32_t l_Port = 0; l_Port < 4; ++l_Port) {
    EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_NUMBER + l_Port), l_Port + 1);
    EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_LINK_WIDTH + l_Port), 4u);
    EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_LINK_SPEED + l_Port), 2u);
  }
  // The live link values of this model are read three bridges up: the root
  // port above the switch.
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_LINK_STATUS), 0x11u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_LINK_SPEED), 0x3u);
}

TEST_F(Attributes, TheIndexRuleAppliesToEveryIdentifierWithBits12To15Set) {
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PCI_BUS + 3), 3u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_VENDOR_ID + 5), 0x1F3Cu);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_PORT_COUNT + 9), 4u);
  EXPECT_EQ(text(m_pCard, QVZEL_ATTR_PART_NUMBER + 2), "410733-01");
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS + 1),
            number(m_pController, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS));
  // 0x10001 has no index bits: it is its own identifier, not 0x10000 + 1.
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_TYPE), 2u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_PORT), 0x21u);
}

TEST_F(Attributes, PortIndexesAtTheCountAreInvalid) {
  for (uint32_t l_Id :
       {QVZEL_ATTR_PORT_NUMBER, QVZEL_ATTR_PORT_LINK_WIDTH, QVZEL_ATTR_PORT_LINK_SPEED}) {
    uint32_t l_Value = 0xABCD;
    EXPECT_EQ(u32(m_pCard, l_Id + 4, &l_Value), QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(l_Value, 0xABCDu);
  }
  const char* l_pName = "untouched";
  EXPECT_EQ(str(m_pCard, QVZEL_ATTR_PORT_NAME + 4, &l_pName), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_STREQ(l_pName, "untouched");
  EXPECT_EQ(str(m_pSinglePort, QVZEL_ATTR_PORT_NAME + 1, &l_pName), QVZEL_ERR_INVALID_PARAMETER);
}

TEST_F(Attributes, ASinglePortCardFoundByPciIdsLacksWidthSpeedAndSerial) {
  EXPECT_EQ(text(m_pSinglePort, QVZEL_ATTR_SLOT_PATH), "MR00:18");
  EXPECT_EQ(text(m_pSinglePort, QVZEL_ATTR_PART_NUMBER), "");
  EXPECT_EQ(number(m_pSinglePort, QVZEL_ATTR_PORT_COUNT), 1u);
  EXPECT_EQ(text(m_pSinglePort, QVZEL_ATTR_PORT_NAME), "1");
  EXPECT_EQ(number(m_pSinglePort, QVZEL_ATTR_PORT_NUMBER), 0x31u);
  for (uint32_t l_Id :
       {QVZEL_ATTR_PORT_LINK_WIDTH, QVZEL_ATTR_PORT_LINK_SPEED, QVZEL_ATTR_PORT_WIDTH}) {
    uint32_t l_Value = 0xABCD;
    EXPECT_EQ(u32(m_pSinglePort, l_Id, &l_Value), QVZEL_ERR_NOT_SUPPORTED);
    EXPECT_EQ(l_Value, 0xABCDu);
  }
  // The empty serial number is handed out together with "not supported".
  const char* l_pSerial = nullptr;
  EXPECT_EQ(str(m_pSinglePort, QVZEL_ATTR_SERIAL_NUMBER, &l_pSerial), QVZEL_ERR_NOT_SUPPORTED);
  ASSERT_NE(l_pSerial, nullptr);
  EXPECT_STREQ(l_pSerial, "");
  // One bridge up from the card's bus there is no bridge (it sits on a root
  // bus), so the live read fails and stores 0.
  uint32_t l_Link = 0xABCD;
  EXPECT_NE(u32(m_pSinglePort, QVZEL_ATTR_LINK_STATUS, &l_Link), 0);
  EXPECT_EQ(l_Link, 0u);
}

// Other models read their live link values from the bridge right above
// their bus; a value the bridge does not serve reads as 0 with success.
class LiveLink : public SystemTest {};

TEST_F(LiveLink, OtherModelsReadOneBridgeUpAndForgiveAnUnservedValue) {
  sBridge l_Root;
  l_Root.m_Name = "rpD";
  l_Root.m_Device = 0x1b;
  l_Root.m_Secondary = 0x30;
  l_Root.m_Attributes = {{QVPCIBRD_ATTR_LINK_SPEED, 5}};
  sBridge l_Own;
  l_Own.m_Name = "idtup";
  l_Own.m_Parent = "rpD";
  l_Own.m_Secondary = 0x31;
  sBridge l_Port;
  l_Port.m_Name = "idtdp4";
  l_Port.m_Parent = "idtup";
  l_Port.m_Device = 4;
  l_Port.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
  sInterface l_Card;
  l_Card.m_Name = "idt0";
  l_Card.m_Class = "nQVZEL_1_0_IdtUpstreamZEL";
  l_Card.m_VendorId = 0x111D;
  l_Card.m_DeviceId = 0x8088;
  l_Card.m_SubsystemVendorId = 0x1F3C;
  l_Card.m_SubsystemId = 0x5A13;
  l_Card.m_Bus = 0x30;
  load(bridgeText(l_Root) + bridgeText(l_Own) + bridgeText(l_Port) + interfaceText(l_Card));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(modelNames(l_List), (std::vector<std::string>{"QV PXIe-6540"}));
  void* l_pCard = l_List.item(0);
  EXPECT_EQ(text(l_pCard, QVZEL_ATTR_PART_NUMBER), "410612-01");
  EXPECT_EQ(text(l_pCard, QVZEL_ATTR_SLOT_PATH), "MR00:20,00,D8");
  uint32_t l_Value = 0xABCD;
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pCard, QVZEL_ATTR_LINK_STATUS, &l_Value), 0);
  EXPECT_EQ(l_Value, 0u);
  EXPECT_EQ(number(l_pCard, QVZEL_ATTR_LINK_SPEED), 5u);
}

// The bridge library serves no bridge's attribute 0x20000300 (a conventional
// PCI bridge, or a user who may not read past the start of its configuration
// space), or fails to read it.
class PortValue : public SystemTest {
 protected:
  std::vector<std::string> listWith(const char* a_pReadAnswer) {
    load("[pcibrd]\nfail.GetAttributeU32.0x20000300 = " + std::string(a_pReadAnswer) + "\n" +
         attributeHost());
    writeControllerFile("[c]\nVendorName = Other Maker\nModelName = Chassis\nSlotPath = MR00:E0\n");
    m_pList.reset(new cList);
    EXPECT_EQ(m_pList->code(), 0);
    return modelNames(*m_pList);
  }
  std::unique_ptr<cList> m_pList;
};

TEST_F(PortValue, NotServedLeavesControllersAndSinglePortCardsListedWithoutIt) {
  // The four-port card keeps the ports read before the first unserved value:
  // none.
  ASSERT_EQ(listWith("-313004"),
            (std::vector<std::string>{"QV PXI-2250 Integrated ZEL Express", "QV PXI-4140",
                                      "QV PXIe-6550", "Chassis"}));
  for (uint32_t l_Index : {0u, 3u}) {
    void* l_pController = m_pList->item(l_Index);
    uint32_t l_Value = 0xABCD;
    EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pController, QVZEL_ATTR_CONTROLLER_PORT, &l_Value),
              QVZEL_ERR_NOT_SUPPORTED);
    EXPECT_EQ(l_Value, 0xABCDu);
    EXPECT_EQ(number(l_pController, QVZEL_ATTR_CONTROLLER_TYPE), 2u);
  }
  EXPECT_EQ(number(m_pList->item(0), QVZEL_ATTR_CONTROLLER_BRIDGE_BUS), 2u);
  EXPECT_EQ(text(m_pList->item(3), QVZEL_ATTR_MODEL_NAME), "Chassis");

  void* l_pSinglePort = m_pList->item(1);
  EXPECT_EQ(number(l_pSinglePort, QVZEL_ATTR_PORT_COUNT), 1u);
  EXPECT_EQ(text(l_pSinglePort, QVZEL_ATTR_PORT_NAME), "1");
  uint32_t l_Value = 0xABCD;
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pSinglePort, QVZEL_ATTR_PORT_NUMBER, &l_Value),
            QVZEL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(l_Value, 0xABCDu);
  EXPECT_EQ(number(m_pList->item(2), QVZEL_ATTR_PORT_COUNT), 0u);
}

TEST_F(PortValue, AnyOtherReadFailureStillDropsTheDevice) {
  EXPECT_EQ(listWith("-313006"), std::vector<std::string>());
}

TEST_F(Attributes, ControllersAnswerTheirAttributes) {
  EXPECT_EQ(text(m_pController, QVZEL_ATTR_VENDOR_NAME), "Quovex");
  EXPECT_EQ(text(m_pController, QVZEL_ATTR_MODEL_NAME), "QV PXI-2250 Integrated ZEL Express");
  EXPECT_EQ(text(m_pController, QVZEL_ATTR_SLOT_PATH), "MR00:48,00,E0");
  EXPECT_EQ(text(m_pController, QVZEL_ATTR_SLOT_PATH_2), "MR00:48,00,E0");
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_DEVICE_CLASS), 1u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_TYPE), 2u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_PORT), 0x21u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS), 2u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_VENDOR_ID), 0x1F3Cu);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_PRODUCT_ID), 0x5A21u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_IS_INTEGRATED), 1u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_PCI_BUS), 2u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_PCI_DEVICE), 9u);
  EXPECT_EQ(number(m_pController, QVZEL_ATTR_PCI_FUNCTION), 0u);

  EXPECT_EQ(text(m_pFileController, QVZEL_ATTR_VENDOR_NAME), "Other Maker");
  EXPECT_EQ(text(m_pFileController, QVZEL_ATTR_MODEL_NAME), "Chassis");
  EXPECT_EQ(number(m_pFileController, QVZEL_ATTR_VENDOR_ID), 0u);
  EXPECT_EQ(number(m_pFileController, QVZEL_ATTR_PRODUCT_ID), 0u);
  EXPECT_EQ(number(m_pFileController, QVZEL_ATTR_IS_INTEGRATED), 0u);
  EXPECT_EQ(number(m_pFileController, QVZEL_ATTR_CONTROLLER_PORT), 8u);
}

TEST_F(Attributes, UnknownIdentifiersAndOtherKindsIdentifiersAreInvalid) {
  struct sCase {
    void* m_pItem;
    uint32_t m_Id;
    bool m_Text;
  };
  const sCase l_Cases[] = {
      {m_pController, QVZEL_ATTR_PORT_COUNT, false},
      {m_pController, QVZEL_ATTR_FIRMWARE_VERSION, false},
      {m_pController, QVZEL_ATTR_SERIAL_NUMBER, true},
      {m_pController, QVZEL_ATTR_PART_NUMBER, true},
      {m_pController, 0x10002, false},
      {m_pCard, QVZEL_ATTR_CONTROLLER_TYPE, false},
      {m_pCard, QVZEL_ATTR_IS_INTEGRATED, false},
      {m_pCard, 0xF000F110, false},
      {m_pCard, 0xF000F850, true},
      {m_pCard, 2, true},
  };
  for (const sCase& l_rCase : l_Cases) {
    SCOPED_TRACE(l_rCase.m_Id);
    if (l_rCase.m_Text) {
      const char* l_pValue = "untouched";
      EXPECT_EQ(str(l_rCase.m_pItem, l_rCase.m_Id, &l_pValue), QVZEL_ERR_INVALID_PARAMETER);
      EXPECT_STREQ(l_pValue, "untouched");
    } else {
      uint32_t l_Value = 0xABCD;
      EXPECT_EQ(u32(l_rCase.m_pItem, l_rCase.m_Id, &l_Value), QVZEL_ERR_INVALID_PARAMETER);
      EXPECT_EQ(l_Value, 0xABCDu);
    }
  }
}

TEST_F(Attributes, DriverAttributesAnswerOnlyWhileTheCardIsOpen) {
  const uint32_t l_Ids[] = {QVZEL_ATTR_FIRMWARE_VERSION, QVZEL_ATTR_FLASH_ID, QVZEL_ATTR_DRIVER_E0,
                            QVZEL_ATTR_DRIVER_F0, QVZEL_ATTR_CARD_SUBSYSTEM_ID};
  const uint32_t l_Expected[] = {0x100, 0x9D17, 0xE0E0, 0xF0F0, 0x5A31};
  for (uint32_t l_Id : l_Ids) {
    uint32_t l_Value = 0;
    EXPECT_EQ(u32(m_pCard, l_Id, &l_Value), QVZEL_ERR_INTERNAL);
  }
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  for (size_t l_Index = 0; l_Index < 5; ++l_Index) {
    EXPECT_EQ(number(m_pCard, l_Ids[l_Index]), l_Expected[l_Index]);
    // The driver receives the identifier with the index bits cleared.
    EXPECT_EQ(number(m_pCard, l_Ids[l_Index] + 7), l_Expected[l_Index]);
  }
  for (const auto& l_rRequest : nQvDriverSim_1_0::driverRequests("card0")) {
    EXPECT_EQ(l_rRequest.m_AttributeId & 0xF, 0u);
    EXPECT_EQ(l_rRequest.m_BufferSize, 4u);
  }
  // Opening again changes nothing; one close closes.
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(m_pCard), 0);
  uint32_t l_Value = 0;
  EXPECT_EQ(u32(m_pCard, QVZEL_ATTR_FIRMWARE_VERSION, &l_Value), QVZEL_ERR_INTERNAL);
}

TEST_F(Attributes, ADriverAnswerWithAnErrorComesBackAsItsCode) {
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  std::string l_Error;
  ASSERT_TRUE(
      nQvDriverSim_1_0::setDeviceSetting("card0", "attributeStatus.0xF000F0E0", "-52024", l_Error))
      << l_Error;
  uint32_t l_Value = 0;
  EXPECT_EQ(u32(m_pCard, QVZEL_ATTR_DRIVER_E0, &l_Value), QVZEL_ERR_IO);
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "attributeErrno", "5", l_Error))
      << l_Error;
  EXPECT_EQ(u32(m_pCard, QVZEL_ATTR_FIRMWARE_VERSION, &l_Value), QVZEL_ERR_IO);
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "attributeErrno", "25", l_Error))
      << l_Error;
  EXPECT_EQ(u32(m_pCard, QVZEL_ATTR_FIRMWARE_VERSION, &l_Value), QVZEL_ERR_NOT_SUPPORTED);
}

TEST_F(Attributes, TheIdselMapIsOneConstantTableForControllersOnly) {
  const uint8_t* l_pMap = nullptr;
  const uint8_t* l_pOther = nullptr;
  ASSERT_EQ(nQVPXIFINDER100_getControllerIDSELMap(m_pController, &l_pMap), 0);
  ASSERT_EQ(nQVPXIFINDER100_getControllerIDSELMap(m_pFileController, &l_pOther), 0);
  ASSERT_NE(l_pMap, nullptr);
  EXPECT_EQ(l_pMap, l_pOther);
  for (int l_Entry = 0; l_Entry < 32; ++l_Entry) {
    EXPECT_EQ(l_pMap[l_Entry], l_Entry <= 16 ? 0xFF : l_Entry - 16) << l_Entry;
  }
  const uint8_t* l_pNone = nullptr;
  EXPECT_EQ(nQVPXIFINDER100_getControllerIDSELMap(m_pCard, &l_pNone), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_pNone, nullptr);
  EXPECT_EQ(nQVPXIFINDER100_getControllerIDSELMap(m_pController, nullptr),
            QVZEL_ERR_INVALID_PARAMETER);
}

TEST_F(Attributes, ItemHandlesAreValidOnlyInTheirOpenList) {
  void* l_pItem = &l_pItem;
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(m_pList->handle(), m_pList->count(), &l_pItem),
            QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_pItem, &l_pItem);
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(nullptr, 0, &l_pItem), QVZEL_ERR_INVALID_PARAMETER);

  // A second list has items of its own; the first list's items die with it.
  cList l_Second;
  ASSERT_EQ(l_Second.code(), 0);
  ASSERT_EQ(l_Second.count(), m_pList->count());
  EXPECT_NE(l_Second.item(2), m_pCard);
  void* l_pOldCard = m_pCard;
  void* l_pOldList = m_pList->handle();
  m_pList->close();
  uint32_t l_Value = 0;
  EXPECT_EQ(u32(l_pOldCard, QVZEL_ATTR_PORT_COUNT, &l_Value), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_pOldCard), QVZEL_ERR_INVALID_PARAMETER);
  const char l_Image[] = "HeaderVersion::2\r\n";
  EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_pOldCard, l_Image, sizeof(l_Image), 1),
            QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(l_pOldCard), 0);
  // Closing again is harmless and leaves the second list working.
  EXPECT_EQ(nQVPXIFINDER100_closeList(l_pOldList), 0);
  EXPECT_EQ(nQVPXIFINDER100_closeList(nullptr), 0);
  EXPECT_EQ(number(l_Second.item(2), QVZEL_ATTR_PORT_COUNT), 4u);
  EXPECT_EQ(openBridgeSessions(), 1u);
}

TEST_F(Attributes, DeviceSessionsAreForUpstreamCardsOnly) {
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(m_pController), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(nullptr), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(m_pController), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(nullptr), 0);
  // The single-port card has no Cyclone IV driver interface at its address.
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(m_pSinglePort), QVZEL_ERR_NOT_FOUND);
}

TEST_F(Attributes, ClosingTheListReleasesTheOpenDriverConnection) {
  const int l_Before = openFileCount();
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  EXPECT_EQ(openFileCount(), l_Before + 1);
  m_pList->close();
  EXPECT_EQ(openFileCount(), l_Before);
  EXPECT_EQ(openBridgeSessions(), 0u);
}

}  // namespace
}  // namespace systest
