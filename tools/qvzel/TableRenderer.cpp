// SPDX-License-Identifier: LGPL-2.1-or-later
#include "TableRenderer.h"

#include <string>
#include <vector>

#include "Format.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

const char* const kNoDeviceLine =
    "No link device found: the library lists no upstream link device and no link controller.";

namespace {

using tRow = std::vector<std::string>;

// A shown value, with the reason when it is "-": the status name of the read
// that failed, or "empty" for a text the library gave empty.
template <typename tValue>
std::string orWhy(const std::string& a_rShown, const tValue& a_rValue) {
  if (a_rShown != "-") return a_rShown;
  if (!a_rValue.m_Present && a_rValue.m_Code != 0) {
    return "- (" + std::string(qvzel_status_name(a_rValue.m_Code)) + ")";
  }
  return a_rValue.m_Present ? "- (empty)" : "-";
}

// The least of the last column a cut leaves.
constexpr size_t kMinimumLastColumn = 16;

// Keeps a cell within a_Width columns, marking a cut with "...".
std::string cutTo(const std::string& a_rCell, size_t a_Width) {
  if (a_rCell.size() <= a_Width) return a_rCell;
  return a_rCell.substr(0, a_Width - 3) + "...";
}

// Prints rows with every column padded to its widest cell, each row within
// a_Columns: the last column is cut (the table; `show` gives the whole
// text) or, with a_Wrap, wrapped below itself. The lines after a row are
// indented and wrapped.
void printColumns(std::vector<tRow> a_Rows, std::ostream& a_rOut,
                  const std::vector<std::vector<std::string>>& a_rAfterRow, size_t a_Columns,
                  bool a_Wrap = false) {
  std::vector<size_t> l_Widths;
  for (const tRow& l_rRow : a_Rows) {
    if (l_Widths.size() < l_rRow.size()) l_Widths.resize(l_rRow.size(), 0);
    for (size_t l_Column = 0; l_Column < l_rRow.size(); ++l_Column) {
      if (l_rRow[l_Column].size() > l_Widths[l_Column])
        l_Widths[l_Column] = l_rRow[l_Column].size();
    }
  }
  // A wrapped table keeps its labels to half the width: a longer label (a
  // port's name from the device) gets a line of its own, its value below.
  const size_t l_LabelLimit = a_Columns / 2;
  if (a_Wrap && !l_Widths.empty() && l_Widths[0] + 2 > l_LabelLimit) {
    l_Widths[0] = 0;
    for (const tRow& l_rRow : a_Rows) {
      if (l_rRow.size() > 1 && l_rRow[0].size() + 2 <= l_LabelLimit &&
          l_rRow[0].size() > l_Widths[0])
        l_Widths[0] = l_rRow[0].size();
    }
  }
  if (!a_Wrap && !l_Widths.empty()) {
    size_t l_Before = 0;
    for (size_t l_Column = 0; l_Column + 1 < l_Widths.size(); ++l_Column) {
      l_Before += l_Widths[l_Column] + 2;
    }
    const size_t l_Room =
        a_Columns > l_Before + kMinimumLastColumn ? a_Columns - l_Before : kMinimumLastColumn;
    for (tRow& l_rRow : a_Rows) {
      if (!l_rRow.empty()) l_rRow.back() = cutTo(l_rRow.back(), l_Room);
    }
  }
  for (size_t l_Index = 0; l_Index < a_Rows.size(); ++l_Index) {
    std::string l_Line;
    const tRow& l_rRow = a_Rows[l_Index];
    if (a_Wrap && l_rRow.size() == 2 && l_rRow[0].size() > l_Widths[0]) {
      const std::string l_Indent(l_Widths[0] + 2, ' ');
      a_rOut << wrapText("", l_rRow[0], "  ", a_Columns)
             << wrapText(l_Indent, l_rRow[1], l_Indent, a_Columns);
      continue;
    }
    for (size_t l_Column = 0; l_Column + 1 < l_rRow.size(); ++l_Column) {
      l_Line += l_rRow[l_Column];
      l_Line.append(l_Widths[l_Column] - l_rRow[l_Column].size() + 2, ' ');
    }
    const std::string l_Last = l_rRow.empty() ? std::string() : l_rRow.back();
    if (a_Wrap) {
      a_rOut << wrapText(l_Line, l_Last, std::string(l_Line.size(), ' '), a_Columns);
    } else {
      a_rOut << l_Line << l_Last << '\n';
    }
    if (l_Index < a_rAfterRow.size()) {
      for (const std::string& l_rExtra : a_rAfterRow[l_Index]) {
        a_rOut << wrapText("    ", l_rExtra, "      ", a_Columns);
      }
    }
  }
}

std::string portName(const sPortRecord& a_rPort) {
  return a_rPort.m_Name.m_Present ? displayText(a_rPort.m_Name.m_Value)
                                  : std::to_string(a_rPort.m_Index);
}

std::string speedOrDash(const sU32Value& a_rValue) {
  return a_rValue.m_Present ? linkSpeedText(a_rValue.m_Value) : "-";
}

std::string widthOrDash(const sU32Value& a_rValue) {
  return a_rValue.m_Present ? linkWidthText(a_rValue.m_Value) : "-";
}

std::string portValues(const sPortRecord& a_rPort) {
  return "number " + orWhy(decimalOrDash(a_rPort.m_Number), a_rPort.m_Number) + ", link width " +
         orWhy(widthOrDash(a_rPort.m_LinkWidth), a_rPort.m_LinkWidth) + ", link speed " +
         orWhy(speedOrDash(a_rPort.m_LinkSpeed), a_rPort.m_LinkSpeed);
}

std::string linkValues(const sItemRecord& a_rItem) {
  const std::string l_Status =
      a_rItem.m_LinkStatus.m_Present ? linkStatusText(a_rItem.m_LinkStatus.m_Value) : "-";
  return "link status " + l_Status + ", link speed " + speedOrDash(a_rItem.m_LinkSpeed);
}

std::string integratedText(const sItemRecord& a_rItem) {
  if (!a_rItem.m_Integrated.m_Present) return "-";
  return a_rItem.m_Integrated.m_Value ? "yes" : "no";
}

std::string portLine(const sPortRecord& a_rPort) {
  return "port " + portName(a_rPort) + ": " + portValues(a_rPort) + ", " +
         (a_rPort.m_ChassisFound ? "chassis found" : "no chassis");
}

std::string attachmentText(const sItemRecord& a_rItem, const sInventory& a_rInventory) {
  const sAttachment& l_rAt = a_rItem.m_Attachment;
  if (!l_rAt.m_Attached) return "not below a listed upstream port";
  std::string l_Port = std::to_string(l_rAt.m_PortIndex + 1);
  if (l_rAt.m_UpstreamIndex < a_rInventory.m_Items.size()) {
    const sItemRecord& l_rUp = a_rInventory.m_Items[l_rAt.m_UpstreamIndex];
    if (l_rAt.m_PortIndex < l_rUp.m_Ports.size())
      l_Port = portName(l_rUp.m_Ports[l_rAt.m_PortIndex]);
  }
  return "item " + std::to_string(l_rAt.m_UpstreamIndex) + ", port " + l_Port;
}

// The meaning of the link values, with the values as the library gave them:
// "Gen3 8 GT/s x4 (0x43)", "Gen2 5 GT/s (code 2)".
std::string statusWithValue(const sU32Value& a_rValue) {
  if (!a_rValue.m_Present) return "-";
  return linkStatusText(a_rValue.m_Value) + " (" + hexText(a_rValue.m_Value) + ")";
}

std::string speedWithCode(const sU32Value& a_rValue) {
  if (!a_rValue.m_Present) return "-";
  if (!linkSpeedKnown(a_rValue.m_Value)) return linkSpeedText(a_rValue.m_Value);
  return linkSpeedText(a_rValue.m_Value) + " (code " + std::to_string(a_rValue.m_Value) + ")";
}

std::string identityLine(const sItemRecord& a_rItem) {
  std::string l_Line = "vendor " + textOrDash(a_rItem.m_Vendor) + ", ID " + idPairText(a_rItem);
  if (a_rItem.m_Kind == eItemKind::kUpstream) {
    l_Line += ", serial " + textOrDash(a_rItem.m_SerialNumber) + ", part " +
              textOrDash(a_rItem.m_PartNumber);
  }
  return l_Line;
}

std::vector<std::string> extraLines(const sItemRecord& a_rItem, const sInventory& a_rInventory) {
  std::vector<std::string> l_Lines;
  if (a_rItem.m_Kind == eItemKind::kUnknown) {
    if (!a_rItem.m_DeviceClass.m_Present) {
      l_Lines.push_back("not readable: " + statusText(a_rItem.m_DeviceClass.m_Code));
    }
    return l_Lines;
  }
  l_Lines.push_back(identityLine(a_rItem));
  if (a_rItem.m_Kind == eItemKind::kUpstream) {
    l_Lines.push_back(linkValues(a_rItem));
    l_Lines.push_back("ports " + decimalOrDash(a_rItem.m_PortCount) + ", port width " +
                      widthOrDash(a_rItem.m_PortWidth));
    for (const sPortRecord& l_rPort : a_rItem.m_Ports) l_Lines.push_back(portLine(l_rPort));
  } else {
    l_Lines.push_back("controller type " + decimalOrDash(a_rItem.m_ControllerType) +
                      ", bridge bus " + decimalOrDash(a_rItem.m_BridgeBus) + ", bridge port " +
                      hexOrDash(a_rItem.m_ControllerPort) + ", integrated " +
                      integratedText(a_rItem));
    l_Lines.push_back("below: " + attachmentText(a_rItem, a_rInventory));
  }
  return l_Lines;
}

}  // namespace

void renderTable(const sInventory& a_rInventory, std::ostream& a_rOut, size_t a_Columns) {
  if (a_rInventory.m_Items.empty()) {
    a_rOut << kNoDeviceLine << '\n';
    return;
  }
  std::vector<tRow> l_Rows;
  std::vector<std::vector<std::string>> l_Extras;
  // The model, the one long text, comes last, where a cut hurts least.
  l_Rows.push_back({"#", "KIND", "SLOT PATH", "PCI", "MODEL"});
  l_Extras.push_back({});
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    l_Rows.push_back({std::to_string(l_rItem.m_Index), kindName(l_rItem.m_Kind),
                      textOrDash(l_rItem.m_SlotPath), pciAddressText(l_rItem),
                      textOrDash(l_rItem.m_Model)});
    l_Extras.push_back(extraLines(l_rItem, a_rInventory));
  }
  printColumns(l_Rows, a_rOut, l_Extras, a_Columns);
}

void renderDetails(const sItemRecord& a_rItem, const sInventory& a_rInventory, std::ostream& a_rOut,
                   size_t a_Columns) {
  std::vector<tRow> l_Rows;
  l_Rows.push_back({"Item:", std::to_string(a_rItem.m_Index)});
  l_Rows.push_back({"Kind:", kindName(a_rItem.m_Kind)});
  l_Rows.push_back(
      {"Device class:", orWhy(hexOrDash(a_rItem.m_DeviceClass), a_rItem.m_DeviceClass)});
  l_Rows.push_back({"Vendor:", orWhy(textOrDash(a_rItem.m_Vendor), a_rItem.m_Vendor)});
  l_Rows.push_back({"Model:", orWhy(textOrDash(a_rItem.m_Model), a_rItem.m_Model)});
  l_Rows.push_back({"Slot path:", orWhy(textOrDash(a_rItem.m_SlotPath), a_rItem.m_SlotPath)});
  l_Rows.push_back({"PCI address:", orWhy(pciAddressText(a_rItem),
                                          !a_rItem.m_Bus.m_Present      ? a_rItem.m_Bus
                                          : !a_rItem.m_Device.m_Present ? a_rItem.m_Device
                                                                        : a_rItem.m_Function)});
  l_Rows.push_back({"Vendor ID:", orWhy(hexOrDash(a_rItem.m_VendorId, 4), a_rItem.m_VendorId)});
  l_Rows.push_back({"Product ID:", orWhy(hexOrDash(a_rItem.m_ProductId, 4), a_rItem.m_ProductId)});
  if (a_rItem.m_Kind == eItemKind::kUpstream) {
    l_Rows.push_back(
        {"Description:", orWhy(textOrDash(a_rItem.m_Description), a_rItem.m_Description)});
    l_Rows.push_back(
        {"Serial number:", orWhy(textOrDash(a_rItem.m_SerialNumber), a_rItem.m_SerialNumber)});
    l_Rows.push_back(
        {"Part number:", orWhy(textOrDash(a_rItem.m_PartNumber), a_rItem.m_PartNumber)});
    l_Rows.push_back(
        {"Port count:", orWhy(decimalOrDash(a_rItem.m_PortCount), a_rItem.m_PortCount)});
    l_Rows.push_back({"Port width:", orWhy(widthOrDash(a_rItem.m_PortWidth), a_rItem.m_PortWidth)});
    l_Rows.push_back(
        {"Link status:", orWhy(statusWithValue(a_rItem.m_LinkStatus), a_rItem.m_LinkStatus)});
    l_Rows.push_back(
        {"Link speed:", orWhy(speedWithCode(a_rItem.m_LinkSpeed), a_rItem.m_LinkSpeed)});
    for (const sPortRecord& l_rPort : a_rItem.m_Ports) {
      l_Rows.push_back({"Port " + portName(l_rPort) + ":", portValues(l_rPort)});
    }
    if (a_rItem.m_HasFirmware) {
      const sFirmwareRecord& l_rFw = a_rItem.m_Firmware;
      if (l_rFw.m_OpenCode < 0) {
        l_Rows.push_back({"Driver values:", "not available, opening the device failed with " +
                                                statusText(l_rFw.m_OpenCode)});
      } else {
        std::string l_Flash = orWhy(hexOrDash(l_rFw.m_FlashId, 4), l_rFw.m_FlashId);
        const char* l_pType =
            l_rFw.m_FlashId.m_Present ? flashTypeName(l_rFw.m_FlashId.m_Value) : nullptr;
        if (l_pType != nullptr) l_Flash += std::string(" (") + l_pType + ")";
        l_Rows.push_back({"Firmware version:", orWhy(hexOrDash(l_rFw.m_Version), l_rFw.m_Version)});
        l_Rows.push_back({"Flash ID:", l_Flash});
        l_Rows.push_back({"Card subsystem ID:",
                          orWhy(hexOrDash(l_rFw.m_CardSubsystemId, 4), l_rFw.m_CardSubsystemId)});
        l_Rows.push_back(
            {"Driver value 0xF000F0E0:", orWhy(hexOrDash(l_rFw.m_DriverE0), l_rFw.m_DriverE0)});
        l_Rows.push_back(
            {"Driver value 0xF000F0F0:", orWhy(hexOrDash(l_rFw.m_DriverF0), l_rFw.m_DriverF0)});
      }
    }
  } else if (a_rItem.m_Kind == eItemKind::kController) {
    l_Rows.push_back({"Controller type:",
                      orWhy(decimalOrDash(a_rItem.m_ControllerType), a_rItem.m_ControllerType)});
    l_Rows.push_back(
        {"Bridge bus:", orWhy(decimalOrDash(a_rItem.m_BridgeBus), a_rItem.m_BridgeBus)});
    l_Rows.push_back(
        {"Bridge port:", orWhy(hexOrDash(a_rItem.m_ControllerPort), a_rItem.m_ControllerPort)});
    l_Rows.push_back({"Integrated:", orWhy(integratedText(a_rItem), a_rItem.m_Integrated)});
    l_Rows.push_back({"Below:", attachmentText(a_rItem, a_rInventory)});
  }
  printColumns(l_Rows, a_rOut, {}, a_Columns, true);
}

}  // namespace nQvzelTool
