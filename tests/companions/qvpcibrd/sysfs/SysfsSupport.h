// SPDX-License-Identifier: LGPL-2.1-or-later
// Test support for the sysfs backend of libqvpcibrd.so.1: the companion's
// entry points bound with dlopen, a session on a chosen sysfs root, and
// helpers that name bridges by their "BB:DD.F" address so that expected
// values read like lspci output.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qvpcibrd.h"

namespace qvztest {

// Directories of the recorded trees (generated at build time) and the
// generator with its descriptions, for tests that need a private copy.
inline std::string treeRoot(const char* a_pName) {
  return std::string(QVZ_SYSFS_TREES) + "/" + a_pName;
}

// The companion's entry points, bound by name from libqvpcibrd.so.1.
class cPciBrd {
 public:
  cPciBrd() : m_pHandle(dlopen("libqvpcibrd.so.1", RTLD_NOW)) {
    bind(OpenSession, "QvPciBrd_OpenSession");
    bind(CloseSession, "QvPciBrd_CloseSession");
    bind(FindBridgesByPciIds, "QvPciBrd_FindBridgesByPciIds");
    bind(FindBridgeByAddress, "QvPciBrd_FindBridgeByAddress");
    bind(FindBridgeBySlotPath, "QvPciBrd_FindBridgeBySlotPath");
    bind(FindParentBridgeForBus, "QvPciBrd_FindParentBridgeForBus");
    bind(GetBridgeParent, "QvPciBrd_GetBridgeParent");
    bind(GetBridgeChildren, "QvPciBrd_GetBridgeChildren");
    bind(GetBusChildren, "QvPciBrd_GetBusChildren");
    bind(GetRootBuses, "QvPciBrd_GetRootBuses");
    bind(GetBridgeAddress, "QvPciBrd_GetBridgeAddress");
    bind(GetBridgeSlotPath, "QvPciBrd_GetBridgeSlotPath");
    bind(GetBridgeIds, "QvPciBrd_GetBridgeIds");
    bind(SetAttributeU32, "QvPciBrd_SetAttributeU32");
    bind(GetAttributeU32, "QvPciBrd_GetAttributeU32");
    bind(EepromUpdate, "QvPciBrd_EepromUpdate");
  }
  ~cPciBrd() {
    if (m_pHandle) dlclose(m_pHandle);
  }
  cPciBrd(const cPciBrd&) = delete;
  cPciBrd& operator=(const cPciBrd&) = delete;

  bool ready() const { return m_pHandle && m_AllBound; }

  decltype(&QvPciBrd_OpenSession) OpenSession = nullptr;
  decltype(&QvPciBrd_CloseSession) CloseSession = nullptr;
  decltype(&QvPciBrd_FindBridgesByPciIds) FindBridgesByPciIds = nullptr;
  decltype(&QvPciBrd_FindBridgeByAddress) FindBridgeByAddress = nullptr;
  decltype(&QvPciBrd_FindBridgeBySlotPath) FindBridgeBySlotPath = nullptr;
  decltype(&QvPciBrd_FindParentBridgeForBus) FindParentBridgeForBus = nullptr;
  decltype(&QvPciBrd_GetBridgeParent) GetBridgeParent = nullptr;
  decltype(&QvPciBrd_GetBridgeChildren) GetBridgeChildren = nullptr;
  decltype(&QvPciBrd_GetBusChildren) GetBusChildren = nullptr;
  decltype(&QvPciBrd_GetRootBuses) GetRootBuses = nullptr;
  decltype(&QvPciBrd_GetBridgeAddress) GetBridgeAddress = nullptr;
  decltype(&QvPciBrd_GetBridgeSlotPath) GetBridgeSlotPath = nullptr;
  decltype(&QvPciBrd_GetBridgeIds) GetBridgeIds = nullptr;
  decltype(&QvPciBrd_SetAttributeU32) SetAttributeU32 = nullptr;
  decltype(&QvPciBrd_GetAttributeU32) GetAttributeU32 = nullptr;
  decltype(&QvPciBrd_EepromUpdate) EepromUpdate = nullptr;

 private:
  template <typename tFunction>
  void bind(tFunction& a_rFunction, const char* a_pName) {
    a_rFunction = m_pHandle ? reinterpret_cast<tFunction>(dlsym(m_pHandle, a_pName)) : nullptr;
    m_AllBound = m_AllBound && a_rFunction;
  }

  void* m_pHandle;
  bool m_AllBound = true;
};

// Names a sysfs root in QVPCIBRD_SYSFS_ROOT (and no simulated system) while
// the object lives; an empty root leaves the default, /sys.
class cSysfsRoot {
 public:
  explicit cSysfsRoot(const std::string& a_rRoot) {
    unsetenv("QVPCIBRD_SYSTEM");
    if (a_rRoot.empty()) {
      unsetenv("QVPCIBRD_SYSFS_ROOT");
    } else {
      setenv("QVPCIBRD_SYSFS_ROOT", a_rRoot.c_str(), 1);
    }
  }
  ~cSysfsRoot() { unsetenv("QVPCIBRD_SYSFS_ROOT"); }
  cSysfsRoot(const cSysfsRoot&) = delete;
  cSysfsRoot& operator=(const cSysfsRoot&) = delete;
};

// One session of the companion with readable helpers. The session is
// opened on whatever root the environment names at construction.
class cSession {
 public:
  explicit cSession(cPciBrd& a_rLib) : m_rLib(a_rLib) {
    m_OpenResult = m_rLib.OpenSession(0, &m_Session);
  }
  ~cSession() {
    if (m_Session != QVPCIBRD_NO_SESSION) m_rLib.CloseSession(m_Session);
  }
  cSession(const cSession&) = delete;
  cSession& operator=(const cSession&) = delete;

  int32_t openResult() const { return m_OpenResult; }
  tQvPciBrdSession handle() const { return m_Session; }

  // The bridge at "BB:DD.F", or 0 with a test failure when there is none.
  tQvPciBrdBridgeRef at(const std::string& a_rAddress) const {
    unsigned l_Bus = 0, l_Device = 0, l_Function = 0;
    EXPECT_EQ(3, std::sscanf(a_rAddress.c_str(), "%x:%x.%x", &l_Bus, &l_Device, &l_Function));
    tQvPciBrdBridgeRef l_Ref = 0;
    EXPECT_EQ(0, m_rLib.FindBridgeByAddress(m_Session, static_cast<uint8_t>(l_Bus),
                                            static_cast<uint8_t>(l_Device),
                                            static_cast<uint8_t>(l_Function), &l_Ref))
        << a_rAddress;
    return l_Ref;
  }
  // The "BB:DD.F" address of a bridge.
  std::string address(tQvPciBrdBridgeRef a_Ref) const {
    uint8_t l_Bus = 0, l_Device = 0, l_Function = 0;
    EXPECT_EQ(0, m_rLib.GetBridgeAddress(m_Session, a_Ref, &l_Bus, &l_Device, &l_Function));
    char l_Text[16];
    std::snprintf(l_Text, sizeof l_Text, "%02x:%02x.%x", l_Bus, l_Device, l_Function);
    return l_Text;
  }
  std::vector<std::string> addresses(const std::vector<uint32_t>& a_rRefs) const {
    std::vector<std::string> l_Out;
    for (uint32_t l_Ref : a_rRefs) l_Out.push_back(address(l_Ref));
    return l_Out;
  }
  // The slot path text, by size-then-fill.
  std::string slotPath(tQvPciBrdBridgeRef a_Ref) const {
    uint32_t l_Size = 0;
    EXPECT_EQ(QVPCIBRD_ERR_BUFFER_TOO_SMALL,
              m_rLib.GetBridgeSlotPath(m_Session, a_Ref, nullptr, &l_Size));
    std::string l_Text(l_Size, '?');
    EXPECT_EQ(0, m_rLib.GetBridgeSlotPath(m_Session, a_Ref, &l_Text[0], &l_Size));
    EXPECT_EQ(l_Text.size(), l_Size);
    if (!l_Text.empty() && l_Text.back() == '\0') l_Text.pop_back();
    return l_Text;
  }
  // Count-then-fill of one list entry point; a_rCall gets (array, count).
  template <typename tCall>
  std::vector<uint32_t> list(tCall a_Call) const {
    uint32_t l_Count = 0;
    const int32_t l_First = a_Call(nullptr, &l_Count);
    if (l_First == 0) {
      EXPECT_EQ(0u, l_Count);
      return {};
    }
    EXPECT_EQ(QVPCIBRD_ERR_BUFFER_TOO_SMALL, l_First);
    std::vector<uint32_t> l_Entries(l_Count, 0xDEADBEEF);
    EXPECT_EQ(0, a_Call(l_Entries.data(), &l_Count));
    EXPECT_EQ(l_Entries.size(), l_Count);
    return l_Entries;
  }
  std::vector<std::string> allBridges() const {
    return addresses(list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
      return m_rLib.FindBridgesByPciIds(m_Session, nullptr, nullptr, nullptr, nullptr, a_pArray,
                                        a_pCount);
    }));
  }
  std::vector<std::string> children(const std::string& a_rParent) const {
    const tQvPciBrdBridgeRef l_Parent = at(a_rParent);
    return addresses(list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
      return m_rLib.GetBridgeChildren(m_Session, l_Parent, a_pArray, a_pCount);
    }));
  }
  std::vector<std::string> busChildren(uint8_t a_Bus) const {
    return addresses(list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
      return m_rLib.GetBusChildren(m_Session, a_Bus, a_pArray, a_pCount);
    }));
  }
  std::vector<uint32_t> rootBuses() const {
    return list([&](uint32_t* a_pArray, uint32_t* a_pCount) {
      return m_rLib.GetRootBuses(m_Session, a_pArray, a_pCount);
    });
  }
  // The parent's address, or "none" when the component answers -313003.
  std::string parent(const std::string& a_rChild) const {
    tQvPciBrdBridgeRef l_Parent = 0;
    const int32_t l_Result = m_rLib.GetBridgeParent(m_Session, at(a_rChild), &l_Parent);
    if (l_Result == QVPCIBRD_ERR_NOT_FOUND) return "none";
    EXPECT_EQ(0, l_Result) << a_rChild;
    return address(l_Parent);
  }
  // The bridge above a bus, or "none" when the component answers -313003.
  std::string parentOfBus(uint8_t a_Bus) const {
    tQvPciBrdBridgeRef l_Bridge = 0;
    const int32_t l_Result = m_rLib.FindParentBridgeForBus(m_Session, a_Bus, &l_Bridge);
    if (l_Result == QVPCIBRD_ERR_NOT_FOUND) return "none";
    EXPECT_EQ(0, l_Result) << unsigned(a_Bus);
    return address(l_Bridge);
  }
  // The attribute's value, or the result code as a negative number when
  // it is not served; either way a number the test spells out.
  int64_t attribute(const std::string& a_rBridge, uint32_t a_Id) const {
    uint32_t l_Value = 0xDEADBEEF;
    const int32_t l_Result = m_rLib.GetAttributeU32(m_Session, at(a_rBridge), a_Id, &l_Value);
    if (l_Result != 0) {
      EXPECT_EQ(0xDEADBEEF, l_Value) << "a failed read writes nothing";
      return l_Result;
    }
    return l_Value;
  }
  // vendor:device:subsystem vendor:subsystem as "vvvv:dddd:ssss:ssss".
  std::string ids(const std::string& a_rBridge) const {
    uint16_t l_Ids[4] = {};
    EXPECT_EQ(0, m_rLib.GetBridgeIds(m_Session, at(a_rBridge), &l_Ids[0], &l_Ids[1], &l_Ids[2],
                                     &l_Ids[3]));
    char l_Text[32];
    std::snprintf(l_Text, sizeof l_Text, "%04x:%04x:%04x:%04x", l_Ids[0], l_Ids[1], l_Ids[2],
                  l_Ids[3]);
    return l_Text;
  }

 private:
  cPciBrd& m_rLib;
  tQvPciBrdSession m_Session = QVPCIBRD_NO_SESSION;
  int32_t m_OpenResult = 0;
};

}  // namespace qvztest
