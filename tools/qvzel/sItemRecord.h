// SPDX-License-Identifier: LGPL-2.1-or-later
// The tool's data model of what the library found: one record per listed
// item, read once and then rendered as a table, a tree or JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvzelTool {

// One 32-bit attribute as the library answered it: present with a value, or
// absent with the status code the read returned.
struct sU32Value {
  bool m_Present = false;
  uint32_t m_Value = 0;
  int32_t m_Code = 0;
};

// One text attribute, likewise.
struct sTextValue {
  bool m_Present = false;
  std::string m_Value;
  int32_t m_Code = 0;
};

enum class eItemKind { kUpstream, kController, kUnknown };

// One link port of an upstream link device.
struct sPortRecord {
  uint32_t m_Index = 0;
  sTextValue m_Name;
  sU32Value m_Number;           // bridge attribute 0x20000300 of the port's bridge
  sU32Value m_LinkWidth;        // the width the port is built for
  sU32Value m_LinkSpeed;        // link speed
  std::string m_SlotPath;       // the port bridge's slot path text, empty when unknown
  bool m_ChassisFound = false;  // a listed controller hangs below this port
};

// Values only an opened upstream device answers (read through the driver).
struct sFirmwareRecord {
  int32_t m_OpenCode = 0;  // result of opening the device; the values are absent unless 0
  sU32Value m_Version;
  sU32Value m_FlashId;
  sU32Value m_CardSubsystemId;
  sU32Value m_DriverE0;
  sU32Value m_DriverF0;
};

// Where a controller hangs in the link topology: below which item's port.
struct sAttachment {
  bool m_Attached = false;
  uint32_t m_UpstreamIndex = 0;
  uint32_t m_PortIndex = 0;
};

struct sItemRecord {
  uint32_t m_Index = 0;
  eItemKind m_Kind = eItemKind::kUnknown;
  sU32Value m_DeviceClass;  // attribute 0: 1 controller, 0xF000 upstream
  sTextValue m_Vendor;
  sTextValue m_Model;
  sTextValue m_SlotPath;
  sU32Value m_Bus;
  sU32Value m_Device;
  sU32Value m_Function;
  sU32Value m_VendorId;
  sU32Value m_ProductId;

  // Upstream link devices.
  sTextValue m_Description;
  sTextValue m_SerialNumber;
  sTextValue m_PartNumber;
  sU32Value m_PortCount;
  sU32Value m_PortWidth;
  sU32Value m_LinkStatus;
  sU32Value m_LinkSpeed;
  std::vector<sPortRecord> m_Ports;

  // Link controllers.
  sU32Value m_ControllerType;
  sU32Value m_ControllerPort;
  sU32Value m_BridgeBus;
  sU32Value m_Integrated;
  sAttachment m_Attachment;

  // Filled only when the caller asked for the device to be opened.
  bool m_HasFirmware = false;
  sFirmwareRecord m_Firmware;
};

// Everything one list opening found.
struct sInventory {
  int32_t m_OpenCode = 0;  // result of opening the list
  std::vector<sItemRecord> m_Items;
};

// Text forms shared by every renderer.
const char* kindName(eItemKind a_Kind);
// "bb:dd.f" in hex, or "-" when one of the three numbers is absent.
std::string pciAddressText(const sItemRecord& a_rItem);

}  // namespace nQvzelTool
