// SPDX-License-Identifier: LGPL-2.1-or-later
// Hand-built item records for the tool's unit tests.
#pragma once

#include <string>

#include "Topology.h"
#include "sItemRecord.h"

namespace nQvzelToolTest {

inline nQvzelTool::sU32Value u32(uint32_t a_Value) {
  nQvzelTool::sU32Value l_Value;
  l_Value.m_Present = true;
  l_Value.m_Value = a_Value;
  return l_Value;
}

inline nQvzelTool::sTextValue text(const std::string& a_rValue) {
  nQvzelTool::sTextValue l_Value;
  l_Value.m_Present = true;
  l_Value.m_Value = a_rValue;
  return l_Value;
}

inline nQvzelTool::sItemRecord upstream(uint32_t a_Index, const std::string& a_rSlotPath,
                                        uint32_t a_Ports, const std::string& a_rSerial = "") {
  nQvzelTool::sItemRecord l_Item;
  l_Item.m_Index = a_Index;
  l_Item.m_Kind = nQvzelTool::eItemKind::kUpstream;
  l_Item.m_DeviceClass = u32(0xF000);
  l_Item.m_Vendor = text("Quovex");
  l_Item.m_Model = text(a_Ports == 4 ? "QV PXIe-6550" : "QV PXIe-6510");
  l_Item.m_SlotPath = text(a_rSlotPath);
  l_Item.m_Bus = u32(3);
  l_Item.m_Device = u32(0);
  l_Item.m_Function = u32(0);
  l_Item.m_VendorId = u32(0x1F3C);
  l_Item.m_ProductId = u32(0x5A31);
  l_Item.m_SerialNumber = text(a_rSerial);
  if (a_rSerial.empty()) l_Item.m_SerialNumber.m_Present = false;
  l_Item.m_PortCount = u32(a_Ports);
  for (uint32_t l_Port = 0; l_Port < a_Ports; ++l_Port) {
    nQvzelTool::sPortRecord l_Record;
    l_Record.m_Index = l_Port;
    l_Record.m_Name = text(std::to_string(l_Port + 1));
    l_Record.m_Number = u32(l_Port + 1);
    l_Record.m_SlotPath = nQvzelTool::portSlotPath(a_rSlotPath, l_Port);  // as the reader does
    l_Item.m_Ports.push_back(l_Record);
  }
  return l_Item;
}

inline nQvzelTool::sItemRecord controller(uint32_t a_Index, const std::string& a_rSlotPath) {
  nQvzelTool::sItemRecord l_Item;
  l_Item.m_Index = a_Index;
  l_Item.m_Kind = nQvzelTool::eItemKind::kController;
  l_Item.m_DeviceClass = u32(1);
  l_Item.m_Vendor = text("Quovex");
  l_Item.m_Model = text("QV PXI-4120");
  l_Item.m_SlotPath = text(a_rSlotPath);
  l_Item.m_Bus = u32(9);
  l_Item.m_Device = u32(0);
  l_Item.m_Function = u32(0);
  l_Item.m_VendorId = u32(0x1F3C);
  l_Item.m_ProductId = u32(0x5A02);
  l_Item.m_ControllerType = u32(2);
  l_Item.m_Integrated = u32(0);
  return l_Item;
}

}  // namespace nQvzelToolTest
