// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SimMachine.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "OpenFiles.h"
#include "qvsimGtest.h"

namespace systest {

namespace {

std::string hex(uint32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "0x%X", a_Value);
  return l_Text;
}

std::string attributeLines(const char* a_pPrefix,
                           const std::vector<std::pair<uint32_t, uint32_t>>& a_rAttributes) {
  std::string l_Text;
  for (const auto& l_rAttribute : a_rAttributes) {
    l_Text +=
        std::string(a_pPrefix) + hex(l_rAttribute.first) + " = " + hex(l_rAttribute.second) + "\n";
  }
  return l_Text;
}

// The controller file lives below the relocated shared state directory.
std::string controllerDir() {
  const char* l_pState = std::getenv("QVRELOC_SHAREDSTATEDIR");
  return std::string(l_pState ? l_pState : "") + "/qvpxi";
}

}  // namespace

std::string bridgeText(const sBridge& a_rBridge) {
  std::ostringstream l_Out;
  l_Out << "[bridge " << a_rBridge.m_Name << "]\n";
  if (a_rBridge.m_Parent.empty()) {
    l_Out << "bus = " << a_rBridge.m_Bus << "\n";
  } else {
    l_Out << "parent = " << a_rBridge.m_Parent << "\n";
  }
  l_Out << "device = " << a_rBridge.m_Device << "\nfunction = " << a_rBridge.m_Function << "\n";
  if (a_rBridge.m_Secondary >= 0) l_Out << "secondary = " << a_rBridge.m_Secondary << "\n";
  l_Out << "vendor_id = " << hex(a_rBridge.m_VendorId) << "\n"
        << "device_id = " << hex(a_rBridge.m_DeviceId) << "\n"
        << "subsystem_vendor_id = " << hex(a_rBridge.m_SubsystemVendorId) << "\n"
        << "subsystem_id = " << hex(a_rBridge.m_SubsystemId) << "\n"
        << attributeLines("attr.", a_rBridge.m_Attributes) << a_rBridge.m_Extra << "\n";
  return l_Out.str();
}

std::string interfaceText(const sInterface& a_rInterface) {
  std::ostringstream l_Out;
  l_Out << "[interface " << a_rInterface.m_Name << "]\n";
  if (!a_rInterface.m_Class.empty()) l_Out << "class = " << a_rInterface.m_Class << "\n";
  l_Out << "pciVendorID = " << hex(a_rInterface.m_VendorId) << "\n"
        << "pciDeviceID = " << hex(a_rInterface.m_DeviceId) << "\n"
        << "pciSubsystemVendorID = " << hex(a_rInterface.m_SubsystemVendorId) << "\n"
        << "pciSubsystemID = " << hex(a_rInterface.m_SubsystemId) << "\n"
        << "pciBusNumber = " << a_rInterface.m_Bus << "\n"
        << "pciDeviceNumber = " << a_rInterface.m_Device << "\n"
        << "pciFunctionNumber = " << a_rInterface.m_Function << "\n";
  if (!a_rInterface.m_Serial.empty()) l_Out << "serialNumber = " << a_rInterface.m_Serial << "\n";
  l_Out << attributeLines("attribute.", a_rInterface.m_Attributes) << a_rInterface.m_Extra << "\n";
  return l_Out.str();
}

sInterface fourPortCard() {
  sInterface l_Card;
  l_Card.m_Name = "card0";
  l_Card.m_VendorId = 0x1F3C;
  l_Card.m_DeviceId = 0x5A30;
  l_Card.m_SubsystemVendorId = 0x1F3C;
  l_Card.m_SubsystemId = 0x5A31;
  l_Card.m_Bus = 3;
  l_Card.m_Serial = "01A2B3C4";
  l_Card.m_Attributes = {{QVZEL_ATTR_FIRMWARE_VERSION, 0x100},
                         {QVZEL_ATTR_FLASH_ID, 0x9D17},
                         {QVZEL_ATTR_DRIVER_E0, 0xE0E0},
                         {QVZEL_ATTR_DRIVER_F0, 0xF0F0},
                         {QVZEL_ATTR_CARD_SUBSYSTEM_ID, 0x5A31}};
  return l_Card;
}

sBridge switchController(uint32_t a_Port) {
  sBridge l_Controller;
  l_Controller.m_Name = "ctl";
  l_Controller.m_Parent = "up";
  l_Controller.m_Device = 9;
  l_Controller.m_VendorId = 0x104C;
  l_Controller.m_DeviceId = 0x8231;
  l_Controller.m_SubsystemVendorId = 0x1F3C;
  l_Controller.m_SubsystemId = 0x5A21;
  l_Controller.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, a_Port}};
  return l_Controller;
}

std::string cardSystem() { return fourPortHost({4, 4, 4, 4}) + interfaceText(fourPortCard()); }

std::string cardAndControllerSystem() { return cardSystem() + bridgeText(switchController(1)); }

std::string fourPortHost(const std::vector<int>& a_rWidths) {
  sBridge l_Root;
  l_Root.m_Name = "rp";
  l_Root.m_Device = 0x1c;
  l_Root.m_Secondary = 1;
  l_Root.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, 8},
                         {QVPCIBRD_ATTR_LINK_STATUS, 0x11},
                         {QVPCIBRD_ATTR_LINK_SPEED, 0x3}};
  sBridge l_Up;
  l_Up.m_Name = "up";
  l_Up.m_Parent = "rp";
  l_Up.m_Secondary = 2;
  std::string l_Text = bridgeText(l_Root) + bridgeText(l_Up);
  for (size_t l_Index = 0; l_Index < a_rWidths.size(); ++l_Index) {
    sBridge l_Port;
    l_Port.m_Name = "dp" + std::to_string(l_Index);
    l_Port.m_Parent = "up";
    l_Port.m_Device = static_cast<int>(l_Index);
    l_Port.m_Secondary = 3 + static_cast<int>(l_Index);
    l_Port.m_Attributes = {{QVPCIBRD_ATTR_PORT_NUMBER, static_cast<uint32_t>(l_Index + 1)},
                           {QVPCIBRD_ATTR_LINK_SPEED, 2}};
    if (a_rWidths[l_Index] >= 0) {
      l_Port.m_Attributes.push_back(
          {QVPCIBRD_ATTR_LINK_WIDTH, static_cast<uint32_t>(a_rWidths[l_Index])});
    }
    l_Text += bridgeText(l_Port);
  }
  return l_Text;
}

void SystemTest::SetUp() {
  QVSIM_ENTER_OR_SKIP();
  // Keeps the simulated bridge library loaded between the library's own
  // loads, so that its counters can be read after a list is closed. Some
  // scenarios run without it.
  m_pBridgeLibrary = dlopen("libqvpcibrd.so.1", RTLD_NOW);
  writeControllerFile("");
}

void SystemTest::TearDown() {
  if (m_pBridgeLibrary != nullptr) dlclose(m_pBridgeLibrary);
}

void SystemTest::load(const std::string& a_rSystem) {
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::loadSystemText(a_rSystem, l_Error)) << l_Error;
}

void SystemTest::writeControllerFile(const std::string& a_rText) {
  const std::string l_Dir = controllerDir();
  const std::string l_Path = l_Dir + "/pxicontrollers.ini";
  if (a_rText.empty()) {
    ASSERT_TRUE(unlink(l_Path.c_str()) == 0 || errno == ENOENT) << l_Path;
    return;
  }
  ASSERT_NE(std::getenv("QVRELOC_SHAREDSTATEDIR"), nullptr);
  std::string l_Partial;
  std::istringstream l_Parts(l_Dir.substr(1));
  for (std::string l_Part; std::getline(l_Parts, l_Part, '/');) {
    l_Partial += "/" + l_Part;
    mkdir(l_Partial.c_str(), 0755);
  }
  std::ofstream l_Out(l_Path, std::ios::binary | std::ios::trunc);
  l_Out << a_rText;
  ASSERT_TRUE(l_Out.good()) << l_Path;
}

uint32_t SystemTest::openBridgeSessions() const {
  typedef uint32_t (*tGetSessionCount)();
  if (m_pBridgeLibrary == nullptr) return 0xFFFFFFFF;
  tGetSessionCount l_pCount =
      reinterpret_cast<tGetSessionCount>(dlsym(m_pBridgeLibrary, "QvPciBrdSim_GetSessionCount"));
  return l_pCount ? l_pCount() : 0xFFFFFFFF;
}

int SystemTest::openFileCount() { return nQvzTest::openFileCount(); }

cList::cList() : m_Code(0), m_Count(0), m_pList(nullptr) {
  m_Code = nQVPXIFINDER100_openList(&m_Count, &m_pList);
  if (m_Code != 0) return;
  for (uint32_t l_Index = 0; l_Index < m_Count; ++l_Index) {
    void* l_pItem = nullptr;
    EXPECT_EQ(nQVPXIFINDER100_getNthItem(m_pList, l_Index, &l_pItem), 0);
    m_Items.push_back(l_pItem);
  }
}

cList::~cList() { close(); }

void cList::close() {
  if (m_pList != nullptr) nQVPXIFINDER100_closeList(m_pList);
  m_pList = nullptr;
}

std::string text(void* a_pItem, uint32_t a_Id) {
  const char* l_pValue = nullptr;
  const int32_t l_Code = nQVPXIFINDER100_getStringAttribute(a_pItem, a_Id, &l_pValue);
  EXPECT_EQ(l_Code, 0) << "text attribute " << hex(a_Id);
  return (l_Code == 0 && l_pValue != nullptr) ? l_pValue : "";
}

uint32_t number(void* a_pItem, uint32_t a_Id) {
  uint32_t l_Value = 0xDEADBEEF;
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, &l_Value), 0)
      << "32-bit attribute " << hex(a_Id);
  return l_Value;
}

std::vector<std::string> modelNames(const cList& a_rList) {
  std::vector<std::string> l_Names;
  for (uint32_t l_Index = 0; l_Index < a_rList.count(); ++l_Index) {
    const char* l_pValue = nullptr;
    nQVPXIFINDER100_getStringAttribute(a_rList.item(l_Index), QVZEL_ATTR_MODEL_NAME, &l_pValue);
    l_Names.push_back(l_pValue ? l_pValue : "");
  }
  return l_Names;
}

int findModel(const cList& a_rList, const std::string& a_rModel) {
  const std::vector<std::string> l_Names = modelNames(a_rList);
  for (size_t l_Index = 0; l_Index < l_Names.size(); ++l_Index) {
    if (l_Names[l_Index] == a_rModel) return static_cast<int>(l_Index);
  }
  return -1;
}

}  // namespace systest
