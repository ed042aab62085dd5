// SPDX-License-Identifier: LGPL-2.1-or-later
// Test support for the system tests: a simulated machine (bridge tree, driver
// interfaces, controller file) inside the test process, and small wrappers
// around the nine exported functions. The library itself is reached only
// through include/qvzelif.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvpcibrd.h"
#include "qvzelif.h"

namespace systest {

// Simulated-system text for one bridge.
struct sBridge {
  std::string m_Name;
  std::string m_Parent;  // empty: the bridge sits on root bus m_Bus
  int m_Bus = 0;
  int m_Device = 0;
  int m_Function = 0;
  int m_Secondary = -1;          // -1: no bus below
  uint32_t m_VendorId = 0x1AAA;  // non-zero so that no model row matches by accident
  uint32_t m_DeviceId = 0x0001;
  uint32_t m_SubsystemVendorId = 0;
  uint32_t m_SubsystemId = 0;
  std::vector<std::pair<uint32_t, uint32_t>> m_Attributes;
  std::string m_Extra;  // further lines, e.g. injected failures
};
std::string bridgeText(const sBridge& a_rBridge);

// Simulated-system text for one driver interface (one device).
struct sInterface {
  std::string m_Name;
  std::string m_Class;  // empty: the Cyclone IV upstream class
  uint32_t m_VendorId = 0;
  uint32_t m_DeviceId = 0;
  uint32_t m_SubsystemVendorId = 0;
  uint32_t m_SubsystemId = 0;
  int m_Bus = 0;
  int m_Device = 0;
  int m_Function = 0;
  std::string m_Serial;  // empty: no serialNumber property
  std::vector<std::pair<uint32_t, uint32_t>> m_Attributes;
  std::string m_Extra;
};
std::string interfaceText(const sInterface& a_rInterface);

// The interface of a four-port upstream card (model "QV PXIe-6550") on bus 3,
// with flash 0x9D17, installed version 0x100 and subsystem 0x5A31.
sInterface fourPortCard();

// A host with a root port (MR00:E0, secondary bus 1; attributes QVPCIBRD_ATTR_PORT_NUMBER =
// 8, QVPCIBRD_ATTR_LINK_STATUS = 0x11, QVPCIBRD_ATTR_LINK_SPEED = 3), a switch upstream port
// below it (MR00:00,E0, bus 2) and the given number of downstream ports
// dp0..dpN (MR00:00,00,E0, MR00:08,00,E0, ...; buses 3, 4, ...), each with
// the port's width and attributes QVPCIBRD_ATTR_PORT_NUMBER = index + 1 and
// QVPCIBRD_ATTR_LINK_SPEED = 2. A width below 0 leaves the width attribute out (not served).
std::string fourPortHost(const std::vector<int>& a_rWidths);

// The integrated controller (row 0's identifiers) on device 9 of the switch
// bus below fourPortHost's upstream port, reporting a_Port as its bridge
// attribute QVPCIBRD_ATTR_PORT_NUMBER.
sBridge switchController(uint32_t a_Port);

// The usual machine: fourPortHost with four ports of width 4 and the
// four-port card; and the same with switchController(1) cabled to it.
std::string cardSystem();
std::string cardAndControllerSystem();

// Machine set-up for each test: a private driver tree, a removed controller
// file and the simulated PCI bridge library pinned in memory, so that its
// session counters survive the library's own unloading.
class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads a simulated system (bridges and interfaces).
  void load(const std::string& a_rSystem);
  // Writes (or with an empty text removes) the controller description file.
  void writeControllerFile(const std::string& a_rText);
  // Sessions of the simulated PCI bridge library open now (0xFFFFFFFF when
  // the library is not there).
  uint32_t openBridgeSessions() const;
  // Number of open file descriptors of this process.
  static int openFileCount();

  void* m_pBridgeLibrary = nullptr;
};

// One opened list and its items; closes the list when it goes away.
class cList {
 public:
  cList();
  ~cList();
  cList(const cList&) = delete;
  cList& operator=(const cList&) = delete;

  int32_t code() const { return m_Code; }
  uint32_t count() const { return m_Count; }
  void* handle() const { return m_pList; }
  void* item(uint32_t a_Index) const { return m_Items.at(a_Index); }
  void close();

 private:
  int32_t m_Code;
  uint32_t m_Count;
  void* m_pList;
  std::vector<void*> m_Items;
};

// Attribute reads that fail the test on a non-zero code.
std::string text(void* a_pItem, uint32_t a_Id);
uint32_t number(void* a_pItem, uint32_t a_Id);
// The model names of all items, in list order ("" for an item without one).
std::vector<std::string> modelNames(const cList& a_rList);
// The index of the first item with this model name, or -1.
int findModel(const cList& a_rList, const std::string& a_rModel);

}  // namespace systest
