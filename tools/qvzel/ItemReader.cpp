// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ItemReader.h"

#include "Topology.h"
#include "cDeviceSession.h"
#include "qvzelif.h"

namespace nQvzelTool {

namespace {

// Port attributes take the port index in their low four bits.
constexpr uint32_t kMaxPortIndex = 16;

sU32Value readU32(void* a_pItem, uint32_t a_Id) {
  sU32Value l_Result;
  uint32_t l_Value = 0;
  l_Result.m_Code = nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, &l_Value);
  if (l_Result.m_Code >= 0) {
    l_Result.m_Present = true;
    l_Result.m_Value = l_Value;
  }
  return l_Result;
}

sTextValue readText(void* a_pItem, uint32_t a_Id) {
  sTextValue l_Result;
  const char* l_pValue = nullptr;
  l_Result.m_Code = nQVPXIFINDER100_getStringAttribute(a_pItem, a_Id, &l_pValue);
  if (l_Result.m_Code >= 0 && l_pValue != nullptr) {
    l_Result.m_Present = true;
    l_Result.m_Value = l_pValue;
  }
  return l_Result;
}

void readUpstream(void* a_pItem, sItemRecord& a_rItem) {
  a_rItem.m_Description = readText(a_pItem, QVZEL_ATTR_DEVICE_DESCRIPTION);
  a_rItem.m_SerialNumber = readText(a_pItem, QVZEL_ATTR_SERIAL_NUMBER);
  a_rItem.m_PartNumber = readText(a_pItem, QVZEL_ATTR_PART_NUMBER);
  a_rItem.m_PortCount = readU32(a_pItem, QVZEL_ATTR_PORT_COUNT);
  a_rItem.m_PortWidth = readU32(a_pItem, QVZEL_ATTR_PORT_WIDTH);
  a_rItem.m_LinkStatus = readU32(a_pItem, QVZEL_ATTR_LINK_STATUS);
  a_rItem.m_LinkSpeed = readU32(a_pItem, QVZEL_ATTR_LINK_SPEED);
  const uint32_t l_Ports = a_rItem.m_PortCount.m_Present ? a_rItem.m_PortCount.m_Value : 0;
  for (uint32_t l_Index = 0; l_Index < l_Ports && l_Index < kMaxPortIndex; ++l_Index) {
    sPortRecord l_Port;
    l_Port.m_Index = l_Index;
    l_Port.m_Name = readText(a_pItem, QVZEL_ATTR_PORT_NAME + l_Index);
    l_Port.m_Number = readU32(a_pItem, QVZEL_ATTR_PORT_NUMBER + l_Index);
    l_Port.m_LinkWidth = readU32(a_pItem, QVZEL_ATTR_PORT_LINK_WIDTH + l_Index);
    l_Port.m_LinkSpeed = readU32(a_pItem, QVZEL_ATTR_PORT_LINK_SPEED + l_Index);
    if (a_rItem.m_SlotPath.m_Present)
      l_Port.m_SlotPath = portSlotPath(a_rItem.m_SlotPath.m_Value, l_Index);
    a_rItem.m_Ports.push_back(l_Port);
  }
}

void readController(void* a_pItem, sItemRecord& a_rItem) {
  a_rItem.m_ControllerType = readU32(a_pItem, QVZEL_ATTR_CONTROLLER_TYPE);
  a_rItem.m_ControllerPort = readU32(a_pItem, QVZEL_ATTR_CONTROLLER_PORT);
  a_rItem.m_BridgeBus = readU32(a_pItem, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS);
  a_rItem.m_Integrated = readU32(a_pItem, QVZEL_ATTR_IS_INTEGRATED);
}

}  // namespace

sItemRecord readItem(void* a_pItem, uint32_t a_Index) {
  sItemRecord l_Item;
  l_Item.m_Index = a_Index;
  l_Item.m_DeviceClass = readU32(a_pItem, QVZEL_ATTR_DEVICE_CLASS);
  if (l_Item.m_DeviceClass.m_Present) {
    if (l_Item.m_DeviceClass.m_Value == QVZEL_DEVICE_CLASS_CONTROLLER)
      l_Item.m_Kind = eItemKind::kController;
    if (l_Item.m_DeviceClass.m_Value == QVZEL_DEVICE_CLASS_UPSTREAM)
      l_Item.m_Kind = eItemKind::kUpstream;
  }
  l_Item.m_Vendor = readText(a_pItem, QVZEL_ATTR_VENDOR_NAME);
  l_Item.m_Model = readText(a_pItem, QVZEL_ATTR_MODEL_NAME);
  l_Item.m_SlotPath = readText(a_pItem, QVZEL_ATTR_SLOT_PATH);
  l_Item.m_Bus = readU32(a_pItem, QVZEL_ATTR_PCI_BUS);
  l_Item.m_Device = readU32(a_pItem, QVZEL_ATTR_PCI_DEVICE);
  l_Item.m_Function = readU32(a_pItem, QVZEL_ATTR_PCI_FUNCTION);
  l_Item.m_VendorId = readU32(a_pItem, QVZEL_ATTR_VENDOR_ID);
  l_Item.m_ProductId = readU32(a_pItem, QVZEL_ATTR_PRODUCT_ID);
  if (l_Item.m_Kind == eItemKind::kUpstream) readUpstream(a_pItem, l_Item);
  if (l_Item.m_Kind == eItemKind::kController) readController(a_pItem, l_Item);
  return l_Item;
}

void readFirmware(void* a_pItem, sItemRecord& a_rItem) {
  a_rItem.m_HasFirmware = true;
  sFirmwareRecord& l_rFirmware = a_rItem.m_Firmware;
  cDeviceSession l_Session(a_pItem);
  l_rFirmware.m_OpenCode = l_Session.open();
  if (l_rFirmware.m_OpenCode < 0) return;
  l_rFirmware.m_Version = readU32(a_pItem, QVZEL_ATTR_FIRMWARE_VERSION);
  l_rFirmware.m_FlashId = readU32(a_pItem, QVZEL_ATTR_FLASH_ID);
  l_rFirmware.m_CardSubsystemId = readU32(a_pItem, QVZEL_ATTR_CARD_SUBSYSTEM_ID);
  l_rFirmware.m_DriverE0 = readU32(a_pItem, QVZEL_ATTR_DRIVER_E0);
  l_rFirmware.m_DriverF0 = readU32(a_pItem, QVZEL_ATTR_DRIVER_F0);
}

namespace {
template <typename tValue>
void noteFailure(const tValue& a_rValue, int32_t& a_rCode) {
  if (a_rCode == 0 && !a_rValue.m_Present && a_rValue.m_Code < 0 &&
      a_rValue.m_Code != QVZEL_ERR_NOT_SUPPORTED) {
    a_rCode = a_rValue.m_Code;
  }
}
}  // namespace

int32_t failedReadCode(const sItemRecord& a_rItem) {
  int32_t l_Code = 0;
  for (const sU32Value* l_pValue :
       {&a_rItem.m_DeviceClass, &a_rItem.m_Bus, &a_rItem.m_Device, &a_rItem.m_Function,
        &a_rItem.m_VendorId, &a_rItem.m_ProductId}) {
    noteFailure(*l_pValue, l_Code);
  }
  for (const sTextValue* l_pValue : {&a_rItem.m_Vendor, &a_rItem.m_Model, &a_rItem.m_SlotPath}) {
    noteFailure(*l_pValue, l_Code);
  }
  if (a_rItem.m_Kind == eItemKind::kUpstream) {
    for (const sTextValue* l_pValue :
         {&a_rItem.m_Description, &a_rItem.m_SerialNumber, &a_rItem.m_PartNumber}) {
      noteFailure(*l_pValue, l_Code);
    }
    for (const sU32Value* l_pValue : {&a_rItem.m_PortCount, &a_rItem.m_PortWidth,
                                      &a_rItem.m_LinkStatus, &a_rItem.m_LinkSpeed}) {
      noteFailure(*l_pValue, l_Code);
    }
    for (const sPortRecord& l_rPort : a_rItem.m_Ports) {
      noteFailure(l_rPort.m_Name, l_Code);
      for (const sU32Value* l_pValue :
           {&l_rPort.m_Number, &l_rPort.m_LinkWidth, &l_rPort.m_LinkSpeed}) {
        noteFailure(*l_pValue, l_Code);
      }
    }
    const sFirmwareRecord& l_rFw = a_rItem.m_Firmware;
    if (a_rItem.m_HasFirmware && l_rFw.m_OpenCode >= 0) {
      for (const sU32Value* l_pValue :
           {&l_rFw.m_Version, &l_rFw.m_FlashId, &l_rFw.m_CardSubsystemId, &l_rFw.m_DriverE0,
            &l_rFw.m_DriverF0}) {
        noteFailure(*l_pValue, l_Code);
      }
    }
  }
  if (a_rItem.m_Kind == eItemKind::kController) {
    for (const sU32Value* l_pValue : {&a_rItem.m_ControllerType, &a_rItem.m_ControllerPort,
                                      &a_rItem.m_BridgeBus, &a_rItem.m_Integrated}) {
      noteFailure(*l_pValue, l_Code);
    }
  }
  return l_Code;
}

sInventory readInventory(const cFinderList& a_rList) {
  sInventory l_Inventory;
  for (uint32_t l_Index = 0; l_Index < a_rList.count(); ++l_Index) {
    void* l_pItem = nullptr;
    const int32_t l_Code = a_rList.item(l_Index, l_pItem);
    if (l_Code < 0) {
      sItemRecord l_Missing;
      l_Missing.m_Index = l_Index;
      l_Missing.m_DeviceClass.m_Code = l_Code;
      l_Inventory.m_Items.push_back(l_Missing);
      continue;
    }
    l_Inventory.m_Items.push_back(readItem(l_pItem, l_Index));
  }
  attachControllers(l_Inventory.m_Items);
  return l_Inventory;
}

}  // namespace nQvzelTool
