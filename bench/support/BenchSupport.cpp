// SPDX-License-Identifier: LGPL-2.1-or-later
#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "qvsimSupport.h"
#include "qvzelif.h"

namespace nQvBench {

namespace {

constexpr uint32_t kControllerClass = 1;
constexpr uint32_t kUpstreamClass = 0xF000;

std::string hex(uint32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "0x%08X", a_Value);
  return l_Text;
}

// Counts one read; a_AllowEmpty lets the documented "empty or 0" answer pass.
void account(sAttributeReads& a_rReads, int32_t a_Result, uint32_t a_Id, bool a_AllowEmpty) {
  ++a_rReads.m_Reads;
  if (a_Result == QVZEL_SUCCESS) return;
  if (a_Result == QVZEL_ERR_NOT_SUPPORTED && a_AllowEmpty) {
    ++a_rReads.m_NotSupported;
    return;
  }
  if (a_rReads.m_Failure.empty()) {
    a_rReads.m_Failure = "attribute " + hex(a_Id) + " answered " + std::to_string(a_Result);
  }
}

void readU32(sAttributeReads& a_rReads, void* a_pItem, uint32_t a_Id, bool a_AllowEmpty = false) {
  uint32_t l_Value = 0;
  account(a_rReads, nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, &l_Value), a_Id, a_AllowEmpty);
}

void readText(sAttributeReads& a_rReads, void* a_pItem, uint32_t a_Id, bool a_AllowEmpty = false) {
  const char* l_pValue = nullptr;
  const int32_t l_Result = nQVPXIFINDER100_getStringAttribute(a_pItem, a_Id, &l_pValue);
  account(a_rReads, l_Result, a_Id, a_AllowEmpty);
  if (l_Result == QVZEL_SUCCESS && l_pValue == nullptr && a_rReads.m_Failure.empty()) {
    a_rReads.m_Failure = "attribute " + hex(a_Id) + " gave a null text";
  }
}

void readCommon(sAttributeReads& a_rReads, void* a_pItem) {
  for (uint32_t l_Id : {QVZEL_ATTR_VENDOR_ID, QVZEL_ATTR_PRODUCT_ID, QVZEL_ATTR_PCI_BUS,
                        QVZEL_ATTR_PCI_DEVICE, QVZEL_ATTR_PCI_FUNCTION}) {
    readU32(a_rReads, a_pItem, l_Id);
  }
  for (uint32_t l_Id : {QVZEL_ATTR_VENDOR_NAME, QVZEL_ATTR_MODEL_NAME, QVZEL_ATTR_SLOT_PATH,
                        QVZEL_ATTR_SLOT_PATH_2}) {
    readText(a_rReads, a_pItem, l_Id);
  }
}

void readController(sAttributeReads& a_rReads, void* a_pItem) {
  for (uint32_t l_Id : {QVZEL_ATTR_CONTROLLER_TYPE, QVZEL_ATTR_CONTROLLER_PORT,
                        QVZEL_ATTR_CONTROLLER_BRIDGE_BUS, QVZEL_ATTR_IS_INTEGRATED}) {
    readU32(a_rReads, a_pItem, l_Id);
  }
  const uint8_t* l_pMap = nullptr;
  const int32_t l_Result = nQVPXIFINDER100_getControllerIDSELMap(a_pItem, &l_pMap);
  account(a_rReads, l_Result, 0, false);
}

void readUpstream(sAttributeReads& a_rReads, void* a_pItem) {
  uint32_t l_Ports = 0;
  account(a_rReads, nQVPXIFINDER100_getU32Attribute(a_pItem, QVZEL_ATTR_PORT_COUNT, &l_Ports),
          QVZEL_ATTR_PORT_COUNT, false);
  for (uint32_t l_Port = 0; l_Port < l_Ports && l_Port < 16; ++l_Port) {
    readU32(a_rReads, a_pItem, QVZEL_ATTR_PORT_NUMBER + l_Port);
    // A port without a cable reports width or speed 0: "empty".
    readU32(a_rReads, a_pItem, QVZEL_ATTR_PORT_LINK_WIDTH + l_Port, true);
    readU32(a_rReads, a_pItem, QVZEL_ATTR_PORT_LINK_SPEED + l_Port, true);
    readText(a_rReads, a_pItem, QVZEL_ATTR_PORT_NAME + l_Port);
  }
  for (uint32_t l_Id : {QVZEL_ATTR_LINK_STATUS, QVZEL_ATTR_LINK_SPEED, QVZEL_ATTR_PORT_WIDTH}) {
    readU32(a_rReads, a_pItem, l_Id);
  }
  // A card found by its PCI identifiers has no serial number: "empty".
  readText(a_rReads, a_pItem, QVZEL_ATTR_SERIAL_NUMBER, true);
  readText(a_rReads, a_pItem, QVZEL_ATTR_PART_NUMBER);
  readText(a_rReads, a_pItem, QVZEL_ATTR_DEVICE_DESCRIPTION);

  account(a_rReads, nQVPXIKTFINDER100_openDevice(a_pItem), 0, false);
  for (uint32_t l_Id : {QVZEL_ATTR_FIRMWARE_VERSION, QVZEL_ATTR_FLASH_ID, QVZEL_ATTR_DRIVER_E0,
                        QVZEL_ATTR_DRIVER_F0, QVZEL_ATTR_CARD_SUBSYSTEM_ID}) {
    readU32(a_rReads, a_pItem, l_Id);
  }
  nQVPXIKTFINDER100_closeDevice(a_pItem);
}

uint64_t statusKiB(const char* a_pField) {
  std::ifstream l_File("/proc/self/status");
  std::string l_Name;
  while (l_File >> l_Name) {
    if (l_Name == a_pField) {
      uint64_t l_Value = 0;
      l_File >> l_Value;
      return l_Value;
    }
    std::getline(l_File, l_Name);
  }
  return 0;
}

}  // namespace

std::string systemDirectory() {
  const char* l_pDir = std::getenv("QVZ_BENCH_SYSTEM_DIR");
  return l_pDir != nullptr ? l_pDir : "";
}

std::string systemFile(int a_Chassis) {
  return systemDirectory() + "/chassis-" + std::to_string(a_Chassis) + ".ini";
}

uint32_t expectedItems(int a_Chassis) {
  return static_cast<uint32_t>((a_Chassis + 3) / 4 + a_Chassis);
}

uint32_t countBridges(const std::string& a_rSystemFile) {
  std::ifstream l_File(a_rSystemFile);
  std::string l_Line;
  uint32_t l_Count = 0;
  while (std::getline(l_File, l_Line)) {
    if (l_Line.rfind("[bridge ", 0) == 0) ++l_Count;
  }
  return l_Count;
}

bool useSystem(const std::string& a_rSystemFile, std::string& a_rError) {
  // Later calls empty the tree again before the next system is loaded.
  if (!nQvDriverSim_1_0::enterPrivateDriverTree(a_rError)) {
    a_rError = "no simulated driver tree: " + a_rError;
    return false;
  }
  if (!nQvDriverSim_1_0::loadSystemFile(a_rSystemFile, a_rError)) {
    a_rError = "cannot load " + a_rSystemFile + ": " + a_rError;
    return false;
  }
  return true;
}

sAttributeReads readEveryAttribute(void* a_pItem) {
  sAttributeReads l_Reads;
  uint32_t l_Class = 0;
  account(l_Reads, nQVPXIFINDER100_getU32Attribute(a_pItem, QVZEL_ATTR_DEVICE_CLASS, &l_Class),
          QVZEL_ATTR_DEVICE_CLASS, false);
  readCommon(l_Reads, a_pItem);
  if (l_Class == kControllerClass) {
    readController(l_Reads, a_pItem);
  } else if (l_Class == kUpstreamClass) {
    readUpstream(l_Reads, a_pItem);
  } else if (l_Reads.m_Failure.empty()) {
    l_Reads.m_Failure = "an item of unknown class " + hex(l_Class);
  }
  return l_Reads;
}

int64_t openReadClose(bool a_ReadAttributes, std::string& a_rError, sAttributeReads* a_pReads) {
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  const int32_t l_Result = nQVPXIFINDER100_openList(&l_Count, &l_pList);
  if (l_Result != QVZEL_SUCCESS) {
    a_rError = "openList answered " + std::to_string(l_Result);
    if (l_Result == QVZEL_ERR_INVALID_PARAMETER) {
      a_rError += " (is libqvpcibrd.so.1 on LD_LIBRARY_PATH?)";
    }
    return -1;
  }
  for (uint32_t l_Index = 0; a_ReadAttributes && l_Index < l_Count; ++l_Index) {
    void* l_pItem = nullptr;
    const int32_t l_ItemResult = nQVPXIFINDER100_getNthItem(l_pList, l_Index, &l_pItem);
    if (l_ItemResult != QVZEL_SUCCESS) {
      a_rError = "getNthItem answered " + std::to_string(l_ItemResult);
      nQVPXIFINDER100_closeList(l_pList);
      return -1;
    }
    const sAttributeReads l_Reads = readEveryAttribute(l_pItem);
    if (!l_Reads.m_Failure.empty()) {
      a_rError = "item " + std::to_string(l_Index) + ": " + l_Reads.m_Failure;
      nQVPXIFINDER100_closeList(l_pList);
      return -1;
    }
    if (a_pReads != nullptr) {
      a_pReads->m_Reads += l_Reads.m_Reads;
      a_pReads->m_NotSupported += l_Reads.m_NotSupported;
    }
  }
  nQVPXIFINDER100_closeList(l_pList);
  return l_Count;
}

uint64_t residentKiB() { return statusKiB("VmRSS:"); }
uint64_t peakResidentKiB() { return statusKiB("VmHWM:"); }

}  // namespace nQvBench
