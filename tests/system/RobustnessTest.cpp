// SPDX-License-Identifier: LGPL-2.1-or-later
// A bridge library, a driver or a controller file that misbehaves: skipped
// candidates or a status code, never a crash or a list left open.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

// A four-port card found through its driver interface, the integrated
// controller found by PCI identifiers, and a controller file naming the root
// port.
class Robustness : public SystemTest {
 protected:
  std::string host(const std::string& a_rMachineLines) {
    return "[pcibrd]\n" + a_rMachineLines + "\n" + cardAndControllerSystem();
  }
  void writeGoodControllerFile() {
    writeControllerFile("[c]\nVendorName = V\nModelName = Chassis\nSlotPath = MR00:E0\n");
  }
};

TEST_F(Robustness, AFailingSessionOpeningFailsTheListOpening) {
  for (const char* l_pMachine : {"fail.OpenSession = -313006", "fail.OpenSession = -52024"}) {
    SCOPED_TRACE(l_pMachine);
    load(host(l_pMachine));
    writeGoodControllerFile();
    uint32_t l_Count = 77;
    void* l_pList = &l_Count;
    EXPECT_LT(nQVPXIFINDER100_openList(&l_Count, &l_pList), 0);
    EXPECT_EQ(l_Count, 77u);
    EXPECT_EQ(l_pList, &l_Count);
    EXPECT_EQ(openBridgeSessions(), 0u);
  }
  // A description the bridge library cannot read fails the same way.
  load("[bridge broken]\ndevice = 99\n");
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, &l_pList), -313007);
}

TEST_F(Robustness, BrokenBridgeListsSkipOnlyTheRowsThatSearchByPciIds) {
  for (const char* l_pMachine :
       {"fail.FindBridgesByPciIds = -313006", "fail.FindBridgesByPciIds.fill = -313006",
        "quirk.lists = grow-count", "quirk.lists = huge-count"}) {
    SCOPED_TRACE(l_pMachine);
    load(host(l_pMachine));
    writeGoodControllerFile();
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{"QV PXIe-6550", "Chassis"}));
  }
}

TEST_F(Robustness, BrokenSlotPathAnswersSkipTheDevicesThatNeedThem) {
  // The controller file's controller needs no slot path text from the
  // bridge library; every table-found device does.
  load(host("quirk.GetBridgeSlotPath = junk"));
  writeGoodControllerFile();
  {
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    EXPECT_EQ(modelNames(l_List), (std::vector<std::string>{"Chassis"}));
  }
  for (const char* l_pMachine :
       {"quirk.GetBridgeSlotPath = no-nul", "quirk.GetBridgeSlotPath = zero-size",
        "fail.GetBridgeSlotPath.fill = -313006", "fail.FindParentBridgeForBus = -313003",
        "fail.GetAttributeU32 = -313006", "fail.FindBridgeBySlotPath = -313003",
        "fail.GetBridgeAddress = 5"}) {
    SCOPED_TRACE(l_pMachine);
    load(host(l_pMachine));
    cList l_List;
    EXPECT_EQ(l_List.code(), 0);
    EXPECT_LE(l_List.count(), 3u);
  }
}

TEST_F(Robustness, VanishingDriverEntriesGiveCodesNotCrashes) {
  load(host(""));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  const int l_Card = findModel(l_List, "QV PXIe-6550");
  ASSERT_GE(l_Card, 0);
  void* l_pCard = l_List.item(l_Card);

  // The interface's path file is gone: the device cannot be opened.
  ASSERT_EQ(system("rm -f '/proc/driver/qv/card0/deviceInterfaces/'*'/interfacePath'"), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_pCard), QVZEL_ERR_INTERNAL);
  // The whole driver tree is gone.
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::removeSystem(l_Error)) << l_Error;
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_pCard), QVZEL_ERR_NOT_FOUND);
  uint32_t l_Value = 0;
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pCard, QVZEL_ATTR_FLASH_ID, &l_Value),
            QVZEL_ERR_INTERNAL);
  // Stored values are still there.
  EXPECT_EQ(number(l_pCard, QVZEL_ATTR_PORT_COUNT), 4u);
}

TEST_F(Robustness, ADriverEntryThatCannotBeReadHidesNoCardBehindIt) {
  // An entry of the card's class, listed before the card's own, on the card's
  // bus and device but without a function number: it must be skipped, not
  // taken for function 0 nor allowed to spoil the entries after it.
  load(host("") + "[interface aaa-broken]\npciBusNumber = 3\npciDeviceNumber = 0\n");
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  const int l_Card = findModel(l_List, "QV PXIe-6550");
  ASSERT_GE(l_Card, 0);
  EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_List.item(l_Card)), 0);
  // The card's own device file answers, the broken entry's has no values.
  EXPECT_EQ(number(l_List.item(l_Card), QVZEL_ATTR_FIRMWARE_VERSION), 0x100u);
}

TEST_F(Robustness, ADeviceFileThatFailsEveryRequestFailsTheUpdateCleanly) {
  load(host(""));
  cList l_List;
  ASSERT_EQ(l_List.code(), 0);
  void* l_pCard = l_List.item(findModel(l_List, "QV PXIe-6550"));
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(l_pCard), 0);
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "errno", "5", l_Error)) << l_Error;
  const char l_Image[] = "HeaderVersion::2\r\nUpdateType::\"ISSIFlashFWUpdate\"\r\n\r\nQUJD";
  EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_pCard, l_Image, sizeof(l_Image) - 1, 1),
            QVZEL_ERR_IO);
  EXPECT_TRUE(nQvDriverSim_1_0::firmwareWrites("card0").empty());
}

TEST_F(Robustness, AControllerFileWithJunkAddsNothingButTheListStillOpens) {
  std::string l_Binary;
  uint32_t l_Seed = 12345;
  for (int l_Index = 0; l_Index < 4096; ++l_Index) {
    l_Seed = l_Seed * 1103515245u + 12345u;
    l_Binary += static_cast<char>(l_Seed >> 24);
  }
  const std::string l_Junk[] = {
      l_Binary,
      std::string("\xFF\xFE[\0c\0]\0", 8),  // UTF-16
      "[c]\nVendorName = V\nModelName = M\nSlotPath = MR00:ZZ,E0\n",
      "[c]\nVendorName = V\nModelName = M\nSlotPath = " + std::string(3000, '0') + "\n",
      "[c]\nVendorName = V\nModelName = M\nSlotPath = MR00:00,00,00,00,00,00,00,00,00,E0\n",
      "no section at all\nVendorName = V\n",
      "[]\n[ ]\n[c\nVendorName\n=\n",
  };
  load(host(""));
  for (const std::string& l_rText : l_Junk) {
    writeControllerFile(l_rText);
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    EXPECT_EQ(modelNames(l_List),
              (std::vector<std::string>{"QV PXI-2250 Integrated ZEL Express", "QV PXIe-6550"}));
  }
  // A folder where the file should be.
  writeControllerFile("");
  const char* l_pState = std::getenv("QVRELOC_SHAREDSTATEDIR");
  ASSERT_NE(l_pState, nullptr);
  const std::string l_Path = std::string(l_pState) + "/qvpxi/pxicontrollers.ini";
  ASSERT_EQ(mkdir(l_Path.c_str(), 0755), 0);
  {
    cList l_List;
    EXPECT_EQ(l_List.code(), 0);
    EXPECT_EQ(l_List.count(), 2u);
  }
  rmdir(l_Path.c_str());
}

}  // namespace
}  // namespace systest
