// SPDX-License-Identifier: LGPL-2.1-or-later
// A device session reaches only the card its item was found through: other
// driver entries with the same bus, device and function numbers (a stale
// entry, a card in another PCI domain, a card moved onto the old bus) never
// receive a byte.
#include "ImageBuilder.h"
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

// Driver requests of any kind that interface a_rName received.
size_t requestsTo(const std::string& a_rName) {
  return nQvDriverSim_1_0::driverRequests(a_rName).size();
}

// The four-port card under another name, serial number and PCI domain, on
// the same bus, device and function numbers.
sInterface twinCard(const std::string& a_rName, const std::string& a_rSerial, int a_Domain) {
  sInterface l_Card = fourPortCard();
  l_Card.m_Name = a_rName;
  l_Card.m_Serial = a_rSerial;
  if (a_Domain >= 0) {
    l_Card.m_Extra = "busProperty.pciDomainNumber = 0" + std::to_string(a_Domain) + " 00 00 00\n";
  }
  return l_Card;
}

int32_t update(void* a_pItem) {
  const std::string l_Image = imageText({sSection()});
  return nQVPXIKTFINDER100_updateFirmware(a_pItem, l_Image.data(),
                                          static_cast<uint32_t>(l_Image.size()), 0);
}

class DeviceIdentity : public SystemTest {};

TEST_F(DeviceIdentity, CardsOnTheSameNumbersInTwoDomainsAreEachWrittenThemselves) {
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(twinCard("cardA", "0AAAAAAA", 0)) +
       interfaceText(twinCard("cardB", "0BBBBBBB", 1)));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  void* l_pCardB = l_List.item(1);
  ASSERT_EQ(text(l_pCardB, QVZEL_ATTR_SERIAL_NUMBER), "0BBBBBBB");
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_pCardB), 0);
  EXPECT_EQ(number(l_pCardB, QVZEL_ATTR_FLASH_ID), 0x9D17u);
  ASSERT_EQ(update(l_pCardB), 0);
  EXPECT_EQ(nQvDriverSim_1_0::firmwareWrites("cardB").size(), 1u);
  EXPECT_EQ(requestsTo("cardA"), 0u);
}

TEST_F(DeviceIdentity, AStaleEntryWithTheSameNumbersIsPassedOver) {
  // The stale entry sorts first and publishes no serial number.
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(twinCard("card0", "", -1)) +
       interfaceText(twinCard("card1", "0BBBBBBB", -1)));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  ASSERT_EQ(l_List.count(), 2u);
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(1)), 0);
  ASSERT_EQ(update(l_List.item(1)), 0);
  EXPECT_EQ(nQvDriverSim_1_0::firmwareWrites("card1").size(), 1u);
  EXPECT_EQ(requestsTo("card0"), 0u);
}

TEST_F(DeviceIdentity, ACardSwappedUnderAnOpenListIsNotFound) {
  sInterface l_Other = twinCard("cardB", "0BBBBBBB", -1);
  l_Other.m_Bus = 4;
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(twinCard("cardA", "0AAAAAAA", -1)) +
       interfaceText(l_Other));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  const int l_CardA = 0;
  ASSERT_EQ(text(l_List.item(l_CardA), QVZEL_ATTR_SERIAL_NUMBER), "0AAAAAAA");

  // Card A leaves; card B takes its bus number.
  l_Other.m_Bus = 3;
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(l_Other));
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(l_CardA)), QVZEL_ERR_NOT_FOUND);
  // Another card shows up in card A's own entry.
  load(fourPortHost({4, 4, 4, 4}) + interfaceText(twinCard("cardA", "0CCCCCCC", -1)));
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(l_CardA)), QVZEL_ERR_NOT_FOUND);
  EXPECT_EQ(update(l_List.item(l_CardA)), QVZEL_ERR_INTERNAL) << "the device is not open";
  EXPECT_EQ(requestsTo("cardA") + requestsTo("cardB"), 0u);
}

// A card found by its PCI identifiers (QV PXI-4140) is known by its numbers
// only: with two entries carrying them it cannot be told apart.
TEST_F(DeviceIdentity, APciIdCardWithTwoEntriesOnItsNumbersIsNotOpened) {
  sBridge l_Card;
  l_Card.m_Name = "pci4140";
  l_Card.m_Bus = 0;
  l_Card.m_Device = 5;
  l_Card.m_Secondary = 9;
  l_Card.m_VendorId = 0x12D8;
  l_Card.m_DeviceId = 0xE111;
  l_Card.m_SubsystemVendorId = 0x1F3C;
  l_Card.m_SubsystemId = 0x4140;
  l_Card.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 1}};
  sInterface l_Entry = fourPortCard();
  l_Entry.m_Name = "entry0";
  l_Entry.m_Bus = 0;
  l_Entry.m_Device = 5;
  sInterface l_Second = l_Entry;
  l_Second.m_Name = "entry1";
  l_Second.m_Serial = "0BBBBBBB";
  // Neither entry matches a model row, so only the bridge is listed.
  l_Entry.m_DeviceId = l_Second.m_DeviceId = 0x0001;
  const std::string l_Host = bridgeText(l_Card);

  load(l_Host + interfaceText(l_Entry));
  {
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    ASSERT_EQ(modelNames(l_List), std::vector<std::string>{"QV PXI-4140"});
    EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(0)), 0);
  }
  load(l_Host + interfaceText(l_Entry) + interfaceText(l_Second));
  cList l_List;
  ASSERT_EQ(l_List.count(), 1u);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(0)), QVZEL_ERR_NOT_FOUND);
  EXPECT_EQ(update(l_List.item(0)), QVZEL_ERR_INTERNAL);
  EXPECT_EQ(requestsTo("entry0") + requestsTo("entry1"), 0u);
}

}  // namespace
}  // namespace systest
