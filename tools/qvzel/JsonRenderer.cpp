// SPDX-License-Identifier: LGPL-2.1-or-later
#include "JsonRenderer.h"

#include "Format.h"
#include "qvzelif.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {

void writeU32(cJsonWriter& a_rJson, const char* a_pKey, const sU32Value& a_rValue) {
  a_rJson.key(a_pKey);
  if (a_rValue.m_Present) {
    a_rJson.value(a_rValue.m_Value);
  } else {
    a_rJson.null();
  }
}

// A value derived from a_rValue, or null when a_rValue is absent.
template <typename tDerived>
void writeDerived(cJsonWriter& a_rJson, const char* a_pKey, const sU32Value& a_rValue,
                  tDerived (*a_pDerive)(uint32_t)) {
  a_rJson.key(a_pKey);
  if (a_rValue.m_Present) {
    a_rJson.value(a_pDerive(a_rValue.m_Value));
  } else {
    a_rJson.null();
  }
}

// Empty texts (a part number the model does not have) are written as null.
void writeText(cJsonWriter& a_rJson, const char* a_pKey, const sTextValue& a_rValue) {
  a_rJson.key(a_pKey);
  if (a_rValue.m_Present && !a_rValue.m_Value.empty()) {
    a_rJson.value(a_rValue.m_Value);
  } else {
    a_rJson.null();
  }
}

void writeHeader(cJsonWriter& a_rJson, const char* a_pFormat) {
  a_rJson.key("format");
  a_rJson.value(a_pFormat);
  a_rJson.key("layoutVersion");
  a_rJson.value(kJsonLayoutVersion);
}

void writePci(cJsonWriter& a_rJson, const sItemRecord& a_rItem) {
  a_rJson.key("pci");
  a_rJson.beginObject();
  writeU32(a_rJson, "bus", a_rItem.m_Bus);
  writeU32(a_rJson, "device", a_rItem.m_Device);
  writeU32(a_rJson, "function", a_rItem.m_Function);
  a_rJson.key("address");
  const std::string l_Address = pciAddressText(a_rItem);
  if (l_Address == "-") {
    a_rJson.null();
  } else {
    a_rJson.value(l_Address);
  }
  a_rJson.endObject();
}

void writeUpstream(cJsonWriter& a_rJson, const sItemRecord& a_rItem) {
  a_rJson.key("upstream");
  if (a_rItem.m_Kind != eItemKind::kUpstream) return a_rJson.null();
  a_rJson.beginObject();
  writeText(a_rJson, "description", a_rItem.m_Description);
  writeText(a_rJson, "serialNumber", a_rItem.m_SerialNumber);
  writeText(a_rJson, "partNumber", a_rItem.m_PartNumber);
  writeU32(a_rJson, "portCount", a_rItem.m_PortCount);
  writeU32(a_rJson, "portWidth", a_rItem.m_PortWidth);
  writeU32(a_rJson, "linkStatus", a_rItem.m_LinkStatus);
  writeU32(a_rJson, "linkSpeed", a_rItem.m_LinkSpeed);
  a_rJson.key("ports");
  a_rJson.beginArray();
  for (const sPortRecord& l_rPort : a_rItem.m_Ports) {
    a_rJson.beginObject();
    a_rJson.key("index");
    a_rJson.value(l_rPort.m_Index);
    writeText(a_rJson, "name", l_rPort.m_Name);
    writeU32(a_rJson, "number", l_rPort.m_Number);
    writeU32(a_rJson, "linkWidth", l_rPort.m_LinkWidth);
    writeU32(a_rJson, "linkSpeed", l_rPort.m_LinkSpeed);
    writeDerived(a_rJson, "linkSpeedText", l_rPort.m_LinkSpeed, linkSpeedText);
    a_rJson.key("chassisFound");
    a_rJson.boolean(l_rPort.m_ChassisFound);
    a_rJson.endObject();
  }
  a_rJson.endArray();
  // The link values' meaning, after the documented keys.
  writeDerived(a_rJson, "linkStatusSpeed", a_rItem.m_LinkStatus, linkStatusSpeed);
  writeDerived(a_rJson, "linkStatusWidth", a_rItem.m_LinkStatus, linkStatusWidth);
  writeDerived(a_rJson, "linkStatusText", a_rItem.m_LinkStatus, linkStatusText);
  writeDerived(a_rJson, "linkSpeedText", a_rItem.m_LinkSpeed, linkSpeedText);
  a_rJson.key("linkUp");
  if (a_rItem.m_LinkStatus.m_Present) {
    a_rJson.boolean(linkUp(a_rItem.m_LinkStatus.m_Value));
  } else {
    a_rJson.null();
  }
  a_rJson.endObject();
}

void writeController(cJsonWriter& a_rJson, const sItemRecord& a_rItem,
                     const sInventory& a_rInventory) {
  a_rJson.key("controller");
  if (a_rItem.m_Kind != eItemKind::kController) return a_rJson.null();
  a_rJson.beginObject();
  writeU32(a_rJson, "type", a_rItem.m_ControllerType);
  writeU32(a_rJson, "bridgePort", a_rItem.m_ControllerPort);
  writeU32(a_rJson, "bridgeBus", a_rItem.m_BridgeBus);
  a_rJson.key("integrated");
  if (a_rItem.m_Integrated.m_Present) {
    a_rJson.boolean(a_rItem.m_Integrated.m_Value != 0);
  } else {
    a_rJson.null();
  }
  a_rJson.key("below");
  const sAttachment& l_rAt = a_rItem.m_Attachment;
  if (!l_rAt.m_Attached) {
    a_rJson.null();
  } else {
    a_rJson.beginObject();
    a_rJson.key("item");
    a_rJson.value(l_rAt.m_UpstreamIndex);
    a_rJson.key("portIndex");
    a_rJson.value(l_rAt.m_PortIndex);
    sTextValue l_Name;
    if (l_rAt.m_UpstreamIndex < a_rInventory.m_Items.size()) {
      const sItemRecord& l_rUp = a_rInventory.m_Items[l_rAt.m_UpstreamIndex];
      if (l_rAt.m_PortIndex < l_rUp.m_Ports.size())
        l_Name = l_rUp.m_Ports[l_rAt.m_PortIndex].m_Name;
    }
    writeText(a_rJson, "portName", l_Name);
    a_rJson.endObject();
  }
  a_rJson.endObject();
}

void writeFirmware(cJsonWriter& a_rJson, const sItemRecord& a_rItem) {
  a_rJson.key("driverValues");
  if (!a_rItem.m_HasFirmware) return a_rJson.null();
  const sFirmwareRecord& l_rFw = a_rItem.m_Firmware;
  a_rJson.beginObject();
  a_rJson.key("openStatus");
  writeStatus(a_rJson, l_rFw.m_OpenCode);
  writeU32(a_rJson, "firmwareVersion", l_rFw.m_Version);
  writeU32(a_rJson, "flashId", l_rFw.m_FlashId);
  a_rJson.key("flashType");
  const char* l_pType =
      l_rFw.m_FlashId.m_Present ? flashTypeName(l_rFw.m_FlashId.m_Value) : nullptr;
  a_rJson.value(l_pType);
  writeU32(a_rJson, "cardSubsystemId", l_rFw.m_CardSubsystemId);
  writeU32(a_rJson, "driverValueE0", l_rFw.m_DriverE0);
  writeU32(a_rJson, "driverValueF0", l_rFw.m_DriverF0);
  a_rJson.endObject();
}

}  // namespace

void writeStatus(cJsonWriter& a_rJson, int32_t a_Code) {
  a_rJson.beginObject();
  a_rJson.key("code");
  a_rJson.value(a_Code);
  a_rJson.key("name");
  a_rJson.value(qvzel_status_name(a_Code));
  a_rJson.key("text");
  a_rJson.value(statusSentence(a_Code));
  a_rJson.endObject();
}

void writeItem(cJsonWriter& a_rJson, const sItemRecord& a_rItem, const sInventory& a_rInventory) {
  a_rJson.beginObject();
  a_rJson.key("index");
  a_rJson.value(a_rItem.m_Index);
  a_rJson.key("kind");
  a_rJson.value(kindName(a_rItem.m_Kind));
  writeU32(a_rJson, "deviceClass", a_rItem.m_DeviceClass);
  writeText(a_rJson, "vendor", a_rItem.m_Vendor);
  writeText(a_rJson, "model", a_rItem.m_Model);
  writeText(a_rJson, "slotPath", a_rItem.m_SlotPath);
  writePci(a_rJson, a_rItem);
  writeU32(a_rJson, "vendorId", a_rItem.m_VendorId);
  writeU32(a_rJson, "productId", a_rItem.m_ProductId);
  writeUpstream(a_rJson, a_rItem);
  writeController(a_rJson, a_rItem, a_rInventory);
  writeFirmware(a_rJson, a_rItem);
  a_rJson.endObject();
}

std::string listJson(const sInventory& a_rInventory) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  writeHeader(l_Json, "qvzel-list");
  l_Json.key("status");
  writeStatus(l_Json, a_rInventory.m_OpenCode);
  l_Json.key("itemCount");
  l_Json.value(static_cast<uint64_t>(a_rInventory.m_Items.size()));
  l_Json.key("items");
  l_Json.beginArray();
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) writeItem(l_Json, l_rItem, a_rInventory);
  l_Json.endArray();
  l_Json.endObject();
  return l_Json.text();
}

std::string showJson(const sItemRecord& a_rItem, const sInventory& a_rInventory) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  writeHeader(l_Json, "qvzel-item");
  l_Json.key("item");
  writeItem(l_Json, a_rItem, a_rInventory);
  l_Json.endObject();
  return l_Json.text();
}

std::string idselJson(const sItemRecord& a_rItem, const uint8_t* a_pMap) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  writeHeader(l_Json, "qvzel-idsel");
  l_Json.key("item");
  l_Json.value(a_rItem.m_Index);
  l_Json.key("slotPath");
  l_Json.value(a_rItem.m_SlotPath.m_Present ? a_rItem.m_SlotPath.m_Value.c_str() : nullptr);
  l_Json.key("map");
  l_Json.beginArray();
  for (uint32_t l_Index = 0; l_Index < QVZEL_IDSEL_MAP_SIZE; ++l_Index) {
    l_Json.value(static_cast<uint32_t>(a_pMap[l_Index]));
  }
  l_Json.endArray();
  l_Json.endObject();
  return l_Json.text();
}

}  // namespace nQvzelTool
