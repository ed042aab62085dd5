// SPDX-License-Identifier: LGPL-2.1-or-later
#include "LabRecords.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "qvzel_driver.h"

namespace nQvlabTool {

namespace {

constexpr uint32_t kClassPciBridge = 0x060400;
constexpr uint32_t kClassOtherBridge = 0x068000;
constexpr uint32_t kClassSignalProcessing = 0x118000;
constexpr uint16_t kVendorTi = 0x104C;
constexpr uint16_t kVendorPericom = 0x12D8;
constexpr uint16_t kDeviceTiBridge = 0x8231;
constexpr uint8_t kSpeedMax = 6;
constexpr uint8_t kWidthMax = 32;
// The four-port card's own function sits behind a fifth, internal port.
constexpr uint8_t kCardFunctionPort = 4;
// An IDT card's cable port is its switch's downstream port at device 4.
constexpr uint8_t kIdtCablePort = 4;
// Functions of a two-function controller: the bridge to its interface
// function, and the bridge to the chassis backplane at function 2.
constexpr uint8_t kBackplaneFunction = 2;

enum class eCardKind { kFourPort, kIdt, kPciBridge };

struct sCardModel {
  const char* m_pName;
  eCardKind m_Kind;
  uint16_t m_Vendor, m_Device, m_SubsystemVendor, m_Subsystem;
  uint8_t m_Width, m_Speed;  // the host link the card is built for
  unsigned m_Ports;
};

const sCardModel kCardModels[] = {
    {"PXIe-6550", eCardKind::kFourPort, QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_CYCLONE4,
     QVZEL_PCI_VENDOR_QV, QVZEL_PCI_SUBSYSTEM_CYCLONE4, 4, 3, 4},
    {"PXIe-6510", eCardKind::kIdt, QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM,
     QVZEL_PCI_VENDOR_QV, 0x5A10, 4, 2, 1},
    {"PXIe-6520", eCardKind::kIdt, QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM,
     QVZEL_PCI_VENDOR_QV, 0x5A11, 4, 2, 1},
    {"PXIe-6530mc", eCardKind::kIdt, QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM,
     QVZEL_PCI_VENDOR_QV, 0x5A12, 4, 2, 1},
    {"PXIe-6540", eCardKind::kIdt, QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM,
     QVZEL_PCI_VENDOR_QV, 0x5A13, 4, 2, 1},
    {"PXI-4140", eCardKind::kPciBridge, kVendorPericom, 0xE111, QVZEL_PCI_VENDOR_QV, 0x4140, 1, 1,
     1},
    {"PXI-4145", eCardKind::kPciBridge, kVendorPericom, 0xE111, QVZEL_PCI_VENDOR_QV, 0x4145, 1, 1,
     1},
};

struct sControllerModel {
  const char* m_pName;
  uint16_t m_Vendor, m_Device, m_SubsystemVendor, m_Subsystem;
  uint16_t m_FunctionDevice;  // two-function controllers: the interface function; else 0
};

const sControllerModel kControllerModels[] = {
    {"PXI-2250", kVendorTi, kDeviceTiBridge, QVZEL_PCI_VENDOR_QV, 0x5A21, 0},
    {"PXI-4125", kVendorPericom, 0xE112, QVZEL_PCI_VENDOR_QV, 0x4125, 0},
    {"PXI-4130", kVendorPericom, 0xE112, QVZEL_PCI_VENDOR_QV, 0x4130, 0},
    {"PXI-4120", kVendorTi, kDeviceTiBridge, QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4120,
     QVZEL_PCI_DEVICE_PXI4120},
    {"PXI-4135", kVendorTi, kDeviceTiBridge, QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4135,
     QVZEL_PCI_DEVICE_PXI4135},
};

// Modules in chassis slots.
struct sSlotModel {
  const char* m_pName;
  uint16_t m_Vendor, m_Device;
};

const sSlotModel kSlotModels[] = {
    {"ZEL-7", QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_ZEL7},
};

struct sFlashPart {
  const char* m_pName;
  uint32_t m_Jedec;
  uint32_t m_Size;
};

const sFlashPart kFlashParts[] = {
    {"ISSI-8M", QVZEL_JEDEC_ISSI_8M, 8U << 20},
    {"SST-1M", QVZEL_JEDEC_SST_1M, 1U << 20},
};

struct sLink {
  uint8_t m_Width = 0;
  uint8_t m_Speed = 0;
};

std::string sectionName(const sSystemSection& a_rSection) {
  return "[" + a_rSection.m_Kind + " " + a_rSection.m_Name + "]";
}

// Reads the values of one section and knows which keys it used, so that a
// misspelt key is an error rather than a default silently taken.
class cSectionReader {
 public:
  cSectionReader(const sSystemSection& a_rSection, std::string& a_rError)
      : m_rSection(a_rSection), m_rError(a_rError) {}

  bool has(const std::string& a_rKey) const { return m_rSection.m_Values.count(a_rKey) != 0; }

  bool text(const std::string& a_rKey, std::string& a_rValue) {
    auto l_It = m_rSection.m_Values.find(a_rKey);
    m_Used.insert(a_rKey);
    if (l_It == m_rSection.m_Values.end()) {
      return false;
    }
    a_rValue = l_It->second.m_Text;
    return true;
  }

  bool required(const std::string& a_rKey, std::string& a_rValue) {
    if (!text(a_rKey, a_rValue) || a_rValue.empty()) {
      return fail("needs \"" + a_rKey + "\"");
    }
    return true;
  }

  // A decimal or 0x-prefixed number up to a_Max; absent: a_Default.
  bool number(const std::string& a_rKey, uint64_t a_Default, uint64_t a_Max, uint64_t& a_rValue) {
    std::string l_Text;
    a_rValue = a_Default;
    if (!text(a_rKey, l_Text)) {
      return true;
    }
    if (!parseNumber(l_Text, 0, a_rValue) || a_rValue > a_Max) {
      return fail("\"" + a_rKey + "\" is not a number from 0 to " + std::to_string(a_Max), a_rKey);
    }
    return true;
  }

  template <typename T>
  bool number(const std::string& a_rKey, T a_Default, T a_Max, T& a_rValue) {
    uint64_t l_Value = 0;
    if (!number(a_rKey, uint64_t(a_Default), uint64_t(a_Max), l_Value)) {
      return false;
    }
    a_rValue = T(l_Value);
    return true;
  }

  // A link speed: the PCI Express code 1-6 or a rate ("2.5GT", "8 GT/s").
  bool speed(const std::string& a_rKey, uint8_t a_Default, uint8_t& a_rValue) {
    static const char* const l_apRates[] = {"2.5", "5", "8", "16", "32", "64"};
    std::string l_Text;
    a_rValue = a_Default;
    if (!text(a_rKey, l_Text)) {
      return true;
    }
    l_Text.erase(std::remove(l_Text.begin(), l_Text.end(), ' '), l_Text.end());
    for (const char* l_pSuffix : {"GT/s", "GT"}) {
      const size_t l_Length = std::strlen(l_pSuffix);
      if (l_Text.size() > l_Length &&
          l_Text.compare(l_Text.size() - l_Length, l_Length, l_pSuffix) == 0) {
        const std::string l_Rate = l_Text.substr(0, l_Text.size() - l_Length);
        for (uint8_t l_Code = 1; l_Code <= kSpeedMax; ++l_Code) {
          if (l_Rate == l_apRates[l_Code - 1] ||
              l_Rate == std::string(l_apRates[l_Code - 1]) + ".0") {
            a_rValue = l_Code;
            return true;
          }
        }
        return fail("\"" + a_rKey + "\" names no PCI Express rate", a_rKey);
      }
    }
    uint64_t l_Code = 0;
    if (!parseNumber(l_Text, 0, l_Code) || l_Code < 1 || l_Code > kSpeedMax) {
      return fail("\"" + a_rKey + "\" is a speed code 1-6 or a rate such as 8GT", a_rKey);
    }
    a_rValue = uint8_t(l_Code);
    return true;
  }

  bool width(const std::string& a_rKey, uint8_t a_Default, uint8_t& a_rValue) {
    if (!number(a_rKey, a_Default, kWidthMax, a_rValue)) {
      return false;
    }
    if (a_rValue == 0) {
      return fail("\"" + a_rKey + "\" is a width of 1 to 32 lanes", a_rKey);
    }
    return true;
  }

  bool fail(const std::string& a_rMessage, const std::string& a_rKey = std::string()) {
    if (m_rError.empty()) {
      unsigned l_Line = m_rSection.m_Line;
      auto l_It = m_rSection.m_Values.find(a_rKey);
      if (l_It != m_rSection.m_Values.end()) {
        l_Line = l_It->second.m_Line;
      }
      m_rError =
          "line " + std::to_string(l_Line) + ": " + sectionName(m_rSection) + " " + a_rMessage;
    }
    return false;
  }

  // Every key given must have been read.
  bool finish() {
    for (const auto& l_rValue : m_rSection.m_Values) {
      if (m_Used.count(l_rValue.first) == 0) {
        return fail("has no key \"" + l_rValue.first + "\"", l_rValue.first);
      }
    }
    return m_rError.empty();
  }

  static bool parseNumber(const std::string& a_rText, int a_Base, uint64_t& a_rValue) {
    if (a_rText.empty() || a_rText[0] == '-' || a_rText[0] == '+') {
      return false;
    }
    try {
      size_t l_End = 0;
      a_rValue = std::stoull(a_rText, &l_End, a_Base);
      return l_End == a_rText.size();
    } catch (const std::exception&) {
      return false;
    }
  }

 private:
  const sSystemSection& m_rSection;
  std::string& m_rError;
  std::set<std::string> m_Used;
};

template <typename T, size_t N>
const T* findModel(const T (&a_rTable)[N], const std::string& a_rName) {
  for (const T& l_rEntry : a_rTable) {
    if (a_rName == l_rEntry.m_pName) {
      return &l_rEntry;
    }
  }
  return nullptr;
}

template <typename T, size_t N>
std::string modelNames(const T (&a_rTable)[N]) {
  std::string l_Names;
  for (const T& l_rEntry : a_rTable) {
    l_Names += (l_Names.empty() ? "" : ", ") + std::string(l_rEntry.m_pName);
  }
  return l_Names;
}

struct sPortSpec {
  const sSystemSection* m_pSection = nullptr;
  std::string m_Name;
  std::string m_Chassis;  // empty: not cabled
  sLink m_Capability;
  sLink m_Trained;  // 0: the lower capability of both ends
};

class cBuilder {
 public:
  cBuilder(const cSystemText& a_rText, std::vector<qvlab_function>& a_rRecords,
           std::string& a_rError)
      : m_rText(a_rText), m_rRecords(a_rRecords), m_rError(a_rError) {}

  bool build();

 private:
  bool buildSlot(const sSystemSection& a_rSlot);
  bool buildCard(const sSystemSection& a_rCard, int32_t a_Parent, uint32_t a_SlotRecord,
                 sLink a_SlotCapability);
  bool buildPorts(const sSystemSection& a_rCard, const sCardModel& a_rModel,
                  std::vector<sPortSpec>& a_rPorts);
  bool buildChassis(const std::string& a_rName, int32_t a_Parent, const sPortSpec& a_rPort,
                    sLink a_PortCapability, uint32_t a_PortRecord);
  uint32_t add(const std::string& a_rName, int32_t a_Parent, const sSystemSection& a_rWhere);
  const sSystemSection* find(const char* a_pKind, const std::string& a_rName) const;

  const cSystemText& m_rText;
  std::vector<qvlab_function>& m_rRecords;
  std::string& m_rError;
  std::set<std::string> m_Names;
  std::set<std::string> m_CabledChassis;
};

const sSystemSection* cBuilder::find(const char* a_pKind, const std::string& a_rName) const {
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    if (l_rSection.m_Kind == a_pKind && l_rSection.m_Name == a_rName) {
      return &l_rSection;
    }
  }
  return nullptr;
}

// A new record, zeroed but for its name and parent; its index.
uint32_t cBuilder::add(const std::string& a_rName, int32_t a_Parent,
                       const sSystemSection& a_rWhere) {
  qvlab_function l_Record;
  std::memset(&l_Record, 0, sizeof(l_Record));
  if (a_rName.size() >= QVLAB_NAME_LEN) {
    cSectionReader(a_rWhere, m_rError)
        .fail("makes the name \"" + a_rName + "\", longer than " +
              std::to_string(QVLAB_NAME_LEN - 1) + " characters");
  } else if (!m_Names.insert(a_rName).second) {
    cSectionReader(a_rWhere, m_rError).fail("makes the name \"" + a_rName + "\", used before");
  }
  std::strncpy(l_Record.name, a_rName.c_str(), QVLAB_NAME_LEN - 1);
  l_Record.parent = a_Parent;
  l_Record.pcie_type = QVLAB_PCIE_NONE;
  m_rRecords.push_back(l_Record);
  if (m_rRecords.size() > QVLAB_MAX_FUNCTIONS && m_rError.empty()) {
    m_rError = "the system has more than " + std::to_string(QVLAB_MAX_FUNCTIONS) + " PCI functions";
  }
  return uint32_t(m_rRecords.size() - 1);
}

void setIds(qvlab_function& a_rRecord, uint16_t a_Vendor, uint16_t a_Device,
            uint16_t a_SubsystemVendor, uint16_t a_Subsystem) {
  a_rRecord.vendor = a_Vendor;
  a_rRecord.device = a_Device;
  a_rRecord.subsystem_vendor = a_SubsystemVendor;
  a_rRecord.subsystem_device = a_Subsystem;
}

void setBridge(qvlab_function& a_rRecord, uint8_t a_PcieType) {
  a_rRecord.class_code = kClassPciBridge;
  a_rRecord.pcie_type = a_PcieType;
  a_rRecord.flags |= QVLAB_FN_BRIDGE;
}

void setLink(qvlab_function& a_rRecord, sLink a_Capability, sLink a_Trained, bool a_Up) {
  a_rRecord.max_width = a_Capability.m_Width;
  a_rRecord.max_speed = a_Capability.m_Speed;
  a_rRecord.width = a_Trained.m_Width;
  a_rRecord.speed = a_Trained.m_Speed;
  if (a_Up) {
    a_rRecord.flags |= QVLAB_FN_LINK_UP;
  }
}

// The trained link between two ends: given in the text, or the lower of both capabilities.
bool trainedLink(cSectionReader& a_rReader, sLink a_Upper, sLink a_Lower, sLink& a_rTrained) {
  const sLink l_Best{std::min(a_Upper.m_Width, a_Lower.m_Width),
                     std::min(a_Upper.m_Speed, a_Lower.m_Speed)};
  if (!a_rReader.width("link_width", l_Best.m_Width, a_rTrained.m_Width) ||
      !a_rReader.speed("link_speed", l_Best.m_Speed, a_rTrained.m_Speed)) {
    return false;
  }
  if (a_rTrained.m_Width > l_Best.m_Width || a_rTrained.m_Speed > l_Best.m_Speed) {
    return a_rReader.fail("trains a link wider or faster than both ends are built for");
  }
  return true;
}

bool cBuilder::build() {
  m_rRecords.clear();
  static const char* const l_apKinds[] = {"slot", "card", "port", "chassis"};
  std::set<std::pair<std::string, std::string>> l_Seen;
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    if (std::find_if(std::begin(l_apKinds), std::end(l_apKinds), [&](const char* a_pKind) {
          return l_rSection.m_Kind == a_pKind;
        }) == std::end(l_apKinds)) {
      return cSectionReader(l_rSection, m_rError)
          .fail("is no section kind of the lab (slot, card, port, chassis)");
    }
    if (!l_Seen.emplace(l_rSection.m_Kind, l_rSection.m_Name).second) {
      return cSectionReader(l_rSection, m_rError).fail("is given twice");
    }
  }
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    if (l_rSection.m_Kind == "slot" && !buildSlot(l_rSection)) {
      return false;
    }
  }
  // Every card sits in a slot, every port belongs to a card, every chassis hangs on a cable.
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    std::string l_Name;
    if (l_rSection.m_Kind == "card") {
      cSectionReader l_Reader(l_rSection, m_rError);
      if (l_Reader.required("slot", l_Name) && find("slot", l_Name) == nullptr) {
        return l_Reader.fail("sits in slot \"" + l_Name + "\", which no [slot] section describes",
                             "slot");
      }
    } else if (l_rSection.m_Kind == "port") {
      cSectionReader l_Reader(l_rSection, m_rError);
      if (l_Reader.required("card", l_Name) && find("card", l_Name) == nullptr) {
        return l_Reader.fail(
            "belongs to card \"" + l_Name + "\", which no [card] section describes", "card");
      }
    } else if (l_rSection.m_Kind == "chassis" && m_CabledChassis.count(l_rSection.m_Name) == 0) {
      return cSectionReader(l_rSection, m_rError).fail("is cabled to no port");
    }
    if (!m_rError.empty()) {
      return false;
    }
  }
  return m_rError.empty();
}

bool cBuilder::buildSlot(const sSystemSection& a_rSlot) {
  cSectionReader l_Reader(a_rSlot, m_rError);
  uint8_t l_Device = 0, l_Function = 0, l_Port = 0;
  uint16_t l_Vendor = 0, l_DeviceId = 0;
  sLink l_Capability;
  if (!l_Reader.number("device", uint8_t(0x1C), uint8_t(31), l_Device) ||
      !l_Reader.number("function", uint8_t(0), uint8_t(7), l_Function) ||
      !l_Reader.number("vendor_id", uint16_t(0x1234), uint16_t(0xFFFF), l_Vendor) ||
      !l_Reader.number("device_id", uint16_t(0x0001), uint16_t(0xFFFF), l_DeviceId) ||
      !l_Reader.number("port", uint8_t(0), uint8_t(0xFF), l_Port) ||
      !l_Reader.width("width", 4, l_Capability.m_Width) ||
      !l_Reader.speed("speed", 3, l_Capability.m_Speed) || !l_Reader.finish()) {
    return false;
  }
  const uint32_t l_Index = add(a_rSlot.m_Name, QVLAB_NO_PARENT, a_rSlot);
  qvlab_function& l_rRecord = m_rRecords[l_Index];
  setIds(l_rRecord, l_Vendor, l_DeviceId, 0, 0);
  setBridge(l_rRecord, QVLAB_PCIE_ROOT_PORT);
  l_rRecord.devfn = uint8_t(l_Device << 3 | l_Function);
  l_rRecord.port_number = l_Port;
  setLink(l_rRecord, l_Capability, sLink{}, false);

  const sSystemSection* l_pCard = nullptr;
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    auto l_It = l_rSection.m_Values.find("slot");
    if (l_rSection.m_Kind == "card" && l_It != l_rSection.m_Values.end() &&
        l_It->second.m_Text == a_rSlot.m_Name) {
      if (l_pCard != nullptr) {
        return cSectionReader(l_rSection, m_rError)
            .fail("sits in slot \"" + a_rSlot.m_Name + "\", which holds a card already", "slot");
      }
      l_pCard = &l_rSection;
    }
  }
  return l_pCard == nullptr || buildCard(*l_pCard, int32_t(l_Index), l_Index, l_Capability);
}

bool cBuilder::buildCard(const sSystemSection& a_rCard, int32_t a_Parent, uint32_t a_SlotRecord,
                         sLink a_SlotCapability) {
  cSectionReader l_Reader(a_rCard, m_rError);
  std::string l_ModelName, l_Slot, l_Flash;
  l_Reader.text("slot", l_Slot);
  if (!l_Reader.required("model", l_ModelName)) {
    return false;
  }
  const sCardModel* l_pModel = findModel(kCardModels, l_ModelName);
  if (l_pModel == nullptr) {
    return l_Reader.fail(
        "names the model \"" + l_ModelName + "\"; the lab knows " + modelNames(kCardModels),
        "model");
  }
  sLink l_Capability, l_Trained;
  uint64_t l_Serial = 0;
  std::string l_SerialText;
  if (l_Reader.text("serial", l_SerialText) &&
      (l_SerialText.size() > 16 || !cSectionReader::parseNumber(l_SerialText, 16, l_Serial))) {
    return l_Reader.fail("\"serial\" is the Device Serial Number, 1 to 16 hex digits", "serial");
  }
  if (!l_Reader.width("width", l_pModel->m_Width, l_Capability.m_Width) ||
      !l_Reader.speed("speed", l_pModel->m_Speed, l_Capability.m_Speed) ||
      !trainedLink(l_Reader, a_SlotCapability, l_Capability, l_Trained)) {
    return false;
  }
  // The flash and its factory contents: four-port cards only.
  const sFlashPart* l_pFlash = &kFlashParts[0];
  uint32_t l_Version = 0, l_Revision = 0;
  if (l_pModel->m_Kind == eCardKind::kFourPort) {
    if (l_Reader.text("flash", l_Flash)) {
      l_pFlash = findModel(kFlashParts, l_Flash);
      if (l_pFlash == nullptr) {
        return l_Reader.fail(
            "names the flash part \"" + l_Flash + "\"; the lab knows " + modelNames(kFlashParts),
            "flash");
      }
    }
    if (!l_Reader.number("firmware", uint32_t(0), uint32_t(0xFFFFFFFF), l_Version) ||
        !l_Reader.number("revision", uint32_t(0), uint32_t(0xFFFFFFFF), l_Revision)) {
      return false;
    }
  }
  std::vector<sPortSpec> l_Ports;
  if (!buildPorts(a_rCard, *l_pModel, l_Ports) || !l_Reader.finish()) {
    return false;
  }

  m_rRecords[a_SlotRecord].width = l_Trained.m_Width;
  m_rRecords[a_SlotRecord].speed = l_Trained.m_Speed;
  m_rRecords[a_SlotRecord].flags |= QVLAB_FN_LINK_UP;

  const uint32_t l_Top = add(a_rCard.m_Name, a_Parent, a_rCard);
  if (l_pModel->m_Kind == eCardKind::kPciBridge) {
    // A PCI Express to PCI bridge whose PCI side is the cable.
    setIds(m_rRecords[l_Top], l_pModel->m_Vendor, l_pModel->m_Device, l_pModel->m_SubsystemVendor,
           l_pModel->m_Subsystem);
    setBridge(m_rRecords[l_Top], QVLAB_PCIE_PCI_BRIDGE);
    setLink(m_rRecords[l_Top], l_Capability, l_Trained, true);
    m_rRecords[l_Top].port_number = 1;
    const sPortSpec& l_rPort = l_Ports.front();
    return l_rPort.m_Chassis.empty() ||
           buildChassis(l_rPort.m_Chassis, int32_t(l_Top), l_rPort, sLink{}, l_Top);
  }

  // A switch: its upstream port, then the ports below it.
  qvlab_function& l_rTop = m_rRecords[l_Top];
  if (l_pModel->m_Kind == eCardKind::kIdt) {
    setIds(l_rTop, l_pModel->m_Vendor, l_pModel->m_Device, l_pModel->m_SubsystemVendor,
           l_pModel->m_Subsystem);
    if (!l_SerialText.empty()) {
      l_rTop.flags |= QVLAB_FN_DSN;
      l_rTop.dsn = l_Serial;
    }
  } else {
    // The four-port card's internal bridges carry no subsystem: the driver binds the card function
    // only.
    setIds(l_rTop, l_pModel->m_Vendor, l_pModel->m_Device, 0, 0);
  }
  setBridge(l_rTop, QVLAB_PCIE_UPSTREAM);
  setLink(l_rTop, l_Capability, l_Trained, true);

  for (size_t l_Number = 0; l_Number < l_Ports.size(); ++l_Number) {
    const sPortSpec& l_rPort = l_Ports[l_Number];
    const uint32_t l_Index =
        add(l_rPort.m_Name, int32_t(l_Top), l_rPort.m_pSection ? *l_rPort.m_pSection : a_rCard);
    qvlab_function& l_rRecord = m_rRecords[l_Index];
    setIds(l_rRecord, l_pModel->m_Vendor, l_pModel->m_Device, 0, 0);
    setBridge(l_rRecord, QVLAB_PCIE_DOWNSTREAM);
    const uint8_t l_Device =
        l_pModel->m_Kind == eCardKind::kIdt ? kIdtCablePort : uint8_t(l_Number);
    l_rRecord.devfn = uint8_t(l_Device << 3);
    l_rRecord.port_number = uint8_t(l_Number + 1);
    setLink(l_rRecord, l_rPort.m_Capability, sLink{}, false);
    if (!l_rPort.m_Chassis.empty() && !buildChassis(l_rPort.m_Chassis, int32_t(l_Index), l_rPort,
                                                    l_rPort.m_Capability, l_Index)) {
      return false;
    }
  }
  if (l_pModel->m_Kind != eCardKind::kFourPort) {
    return m_rError.empty();
  }

  // The card's own function behind an internal port: its registers, flash and serial number.
  const sLink l_Internal{1, 2};
  const uint32_t l_Bridge = add(a_rCard.m_Name + ".bridge", int32_t(l_Top), a_rCard);
  setIds(m_rRecords[l_Bridge], l_pModel->m_Vendor, l_pModel->m_Device, 0, 0);
  setBridge(m_rRecords[l_Bridge], QVLAB_PCIE_DOWNSTREAM);
  m_rRecords[l_Bridge].devfn = uint8_t(kCardFunctionPort << 3);
  m_rRecords[l_Bridge].port_number = kCardFunctionPort + 1;
  setLink(m_rRecords[l_Bridge], l_Internal, l_Internal, true);

  const uint32_t l_Function = add(a_rCard.m_Name + ".fn", int32_t(l_Bridge), a_rCard);
  qvlab_function& l_rFunction = m_rRecords[l_Function];
  setIds(l_rFunction, l_pModel->m_Vendor, l_pModel->m_Device, l_pModel->m_SubsystemVendor,
         l_pModel->m_Subsystem);
  l_rFunction.class_code = kClassSignalProcessing;
  l_rFunction.pcie_type = QVLAB_PCIE_ENDPOINT;
  setLink(l_rFunction, l_Internal, l_Internal, false);
  l_rFunction.flags |= QVLAB_FN_CARD;
  if (!l_SerialText.empty()) {
    l_rFunction.flags |= QVLAB_FN_DSN;
    l_rFunction.dsn = l_Serial;
  }
  l_rFunction.jedec_id[0] = uint8_t(l_pFlash->m_Jedec >> 16);
  l_rFunction.jedec_id[1] = uint8_t(l_pFlash->m_Jedec >> 8);
  l_rFunction.jedec_id[2] = uint8_t(l_pFlash->m_Jedec);
  l_rFunction.flash_size = l_pFlash->m_Size;
  l_rFunction.hw_revision = l_Revision;
  l_rFunction.factory_version = l_Version;
  return m_rError.empty();
}

bool cBuilder::buildPorts(const sSystemSection& a_rCard, const sCardModel& a_rModel,
                          std::vector<sPortSpec>& a_rPorts) {
  a_rPorts.assign(a_rModel.m_Ports, sPortSpec());
  for (unsigned l_Number = 0; l_Number < a_rModel.m_Ports; ++l_Number) {
    a_rPorts[l_Number].m_Name = a_rCard.m_Name + ".port" + std::to_string(l_Number + 1);
    a_rPorts[l_Number].m_Capability = sLink{4, 2};
  }
  for (const sSystemSection& l_rSection : m_rText.sections()) {
    auto l_It = l_rSection.m_Values.find("card");
    if (l_rSection.m_Kind != "port" || l_It == l_rSection.m_Values.end() ||
        l_It->second.m_Text != a_rCard.m_Name) {
      continue;
    }
    cSectionReader l_Reader(l_rSection, m_rError);
    std::string l_Card;
    unsigned l_Number = 0;
    l_Reader.text("card", l_Card);
    if (!l_Reader.number("number", 0U, a_rModel.m_Ports, l_Number)) {
      return false;
    }
    if (l_Number == 0) {
      return l_Reader.fail("needs \"number\", 1 to " + std::to_string(a_rModel.m_Ports), "number");
    }
    sPortSpec& l_rPort = a_rPorts[l_Number - 1];
    if (l_rPort.m_pSection != nullptr) {
      return l_Reader.fail(
          "describes port " + std::to_string(l_Number) + " of \"" + l_Card + "\" a second time",
          "number");
    }
    l_rPort.m_pSection = &l_rSection;
    l_rPort.m_Name = l_rSection.m_Name;
    const bool l_Switch = a_rModel.m_Kind != eCardKind::kPciBridge;
    if (l_Switch && (!l_Reader.width("width", 4, l_rPort.m_Capability.m_Width) ||
                     !l_Reader.speed("speed", 2, l_rPort.m_Capability.m_Speed))) {
      return false;
    }
    if (l_Reader.text("cable", l_rPort.m_Chassis) && !l_rPort.m_Chassis.empty()) {
      const sSystemSection* l_pChassis = find("chassis", l_rPort.m_Chassis);
      if (l_pChassis == nullptr) {
        return l_Reader.fail(
            "is cabled to \"" + l_rPort.m_Chassis + "\", which no [chassis] section describes",
            "cable");
      }
      if (!m_CabledChassis.insert(l_rPort.m_Chassis).second) {
        return l_Reader.fail(
            "is cabled to \"" + l_rPort.m_Chassis + "\", which another port is cabled to", "cable");
      }
      if (l_Switch) {
        sLink l_Controller;
        cSectionReader l_ChassisReader(*l_pChassis, m_rError);
        if (!l_ChassisReader.width("width", 4, l_Controller.m_Width) ||
            !l_ChassisReader.speed("speed", 2, l_Controller.m_Speed) ||
            !trainedLink(l_Reader, l_rPort.m_Capability, l_Controller, l_rPort.m_Trained)) {
          return false;
        }
      }
    } else if (l_Reader.has("link_width") || l_Reader.has("link_speed")) {
      return l_Reader.fail("trains a link without a cable");
    }
    if (!l_Reader.finish()) {
      return false;
    }
  }
  return true;
}

bool cBuilder::buildChassis(const std::string& a_rName, int32_t a_Parent, const sPortSpec& a_rPort,
                            sLink a_PortCapability, uint32_t a_PortRecord) {
  const sSystemSection& l_rChassis = *find("chassis", a_rName);
  cSectionReader l_Reader(l_rChassis, m_rError);
  std::string l_ModelName;
  sControllerModel l_Model{"", 0, 0, 0, 0, 0};
  if (l_Reader.text("controller", l_ModelName)) {
    const sControllerModel* l_pModel = findModel(kControllerModels, l_ModelName);
    if (l_pModel == nullptr) {
      return l_Reader.fail("names the controller \"" + l_ModelName + "\"; the lab knows " +
                               modelNames(kControllerModels) + " (or give vendor_id and device_id)",
                           "controller");
    }
    l_Model = *l_pModel;
  } else {
    if (!l_Reader.has("vendor_id") || !l_Reader.has("device_id")) {
      return l_Reader.fail("needs \"controller\", or \"vendor_id\" and \"device_id\"");
    }
    if (!l_Reader.number("vendor_id", uint16_t(0), uint16_t(0xFFFF), l_Model.m_Vendor) ||
        !l_Reader.number("device_id", uint16_t(0), uint16_t(0xFFFF), l_Model.m_Device) ||
        !l_Reader.number("subsystem_vendor_id", uint16_t(0), uint16_t(0xFFFF),
                         l_Model.m_SubsystemVendor) ||
        !l_Reader.number("subsystem_id", uint16_t(0), uint16_t(0xFFFF), l_Model.m_Subsystem)) {
      return false;
    }
  }
  sLink l_Capability;
  if (!l_Reader.width("width", 4, l_Capability.m_Width) ||
      !l_Reader.speed("speed", 2, l_Capability.m_Speed)) {
    return false;
  }
  // Modules in the chassis's slots: slotN = MODEL, N the device number on the backplane.
  std::vector<std::pair<uint8_t, const sSlotModel*>> l_Slots;
  for (const auto& l_rValue : l_rChassis.m_Values) {
    uint64_t l_Slot = 0;
    if (l_rValue.first.compare(0, 4, "slot") != 0) {
      continue;
    }
    std::string l_Module;
    l_Reader.text(l_rValue.first, l_Module);
    if (!cSectionReader::parseNumber(l_rValue.first.substr(4), 10, l_Slot) || l_Slot > 31) {
      return l_Reader.fail("has no key \"" + l_rValue.first + "\" (slots are slot0 to slot31)",
                           l_rValue.first);
    }
    const sSlotModel* l_pModule = findModel(kSlotModels, l_Module);
    if (l_pModule == nullptr) {
      return l_Reader.fail(
          "holds the module \"" + l_Module + "\"; the lab knows " + modelNames(kSlotModels),
          l_rValue.first);
    }
    l_Slots.emplace_back(uint8_t(l_Slot), l_pModule);
  }
  if (!l_Reader.finish()) {
    return false;
  }

  // Both ends of a cable report the link it trained.
  const bool l_Switched = a_PortCapability.m_Width != 0;
  if (l_Switched) {
    m_rRecords[a_PortRecord].width = a_rPort.m_Trained.m_Width;
    m_rRecords[a_PortRecord].speed = a_rPort.m_Trained.m_Speed;
    m_rRecords[a_PortRecord].flags |= QVLAB_FN_LINK_UP;
  }
  const uint32_t l_Controller = add(a_rName, a_Parent, l_rChassis);
  setIds(m_rRecords[l_Controller], l_Model.m_Vendor, l_Model.m_Device, l_Model.m_SubsystemVendor,
         l_Model.m_Subsystem);
  // Behind a PCI Express port the controller is a PCI Express to PCI bridge; behind a
  // conventional PCI cable it is a PCI-to-PCI bridge without any link of its own.
  const uint8_t l_Type = l_Switched ? QVLAB_PCIE_PCI_BRIDGE : QVLAB_PCIE_NONE;
  setBridge(m_rRecords[l_Controller], l_Type);
  if (l_Switched) {
    setLink(m_rRecords[l_Controller], l_Capability, a_rPort.m_Trained, true);
  }

  uint32_t l_Backplane = l_Controller;
  if (l_Model.m_FunctionDevice != 0) {
    // The interface function below the first bridge, the backplane behind the second.
    const uint32_t l_Function = add(a_rName + ".fn", int32_t(l_Controller), l_rChassis);
    setIds(m_rRecords[l_Function], QVZEL_PCI_VENDOR_QV, l_Model.m_FunctionDevice, 0, 0);
    m_rRecords[l_Function].class_code = kClassOtherBridge;
    l_Backplane = add(a_rName + ".bus", a_Parent, l_rChassis);
    setIds(m_rRecords[l_Backplane], l_Model.m_Vendor, l_Model.m_Device, 0, 0);
    setBridge(m_rRecords[l_Backplane], l_Type);
    m_rRecords[l_Backplane].devfn = kBackplaneFunction;
    if (l_Switched) {
      setLink(m_rRecords[l_Backplane], l_Capability, a_rPort.m_Trained, true);
    }
  }
  for (const auto& l_rSlot : l_Slots) {
    const uint32_t l_Index =
        add(a_rName + ".slot" + std::to_string(l_rSlot.first), int32_t(l_Backplane), l_rChassis);
    setIds(m_rRecords[l_Index], l_rSlot.second->m_Vendor, l_rSlot.second->m_Device, 0, 0);
    m_rRecords[l_Index].class_code = kClassOtherBridge;
    m_rRecords[l_Index].devfn = uint8_t(l_rSlot.first << 3);
  }
  return m_rError.empty();
}

}  // namespace

bool buildLabRecords(const cSystemText& a_rText, std::vector<qvlab_function>& a_rRecords,
                     std::string& a_rError) {
  a_rError.clear();
  return cBuilder(a_rText, a_rRecords, a_rError).build();
}

const qvlab_function* findFlashRecord(const std::vector<qvlab_function>& a_rRecords,
                                      const std::string& a_rName) {
  for (size_t l_Index = 0; l_Index < a_rRecords.size(); ++l_Index) {
    if (a_rName != a_rRecords[l_Index].name) {
      continue;
    }
    if (a_rRecords[l_Index].flags & QVLAB_FN_CARD) {
      return &a_rRecords[l_Index];
    }
    // The first card function anywhere below it.
    for (size_t l_Below = l_Index + 1; l_Below < a_rRecords.size(); ++l_Below) {
      for (int32_t l_Up = a_rRecords[l_Below].parent; l_Up >= 0;
           l_Up = a_rRecords[size_t(l_Up)].parent) {
        if (size_t(l_Up) == l_Index && (a_rRecords[l_Below].flags & QVLAB_FN_CARD)) {
          return &a_rRecords[l_Below];
        }
      }
    }
    return nullptr;
  }
  return nullptr;
}

}  // namespace nQvlabTool
