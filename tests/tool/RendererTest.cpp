// SPDX-License-Identifier: LGPL-2.1-or-later
// Renderers on a hand-built inventory: a four-port card with a controller
// below its second port and one controller elsewhere.
#include <gtest/gtest.h>

#include <sstream>

#include "JsonRenderer.h"
#include "TableRenderer.h"
#include "ToolTestItems.h"
#include "Topology.h"
#include "TreeRenderer.h"

namespace {

using namespace nQvzelTool;
using namespace nQvzelToolTest;

sInventory inventory() {
  sInventory l_Inventory;
  l_Inventory.m_Items.push_back(upstream(0, "MR00:00,00,E0", 4, "01A2B3C4"));
  l_Inventory.m_Items.push_back(controller(1, "MR00:00,00,08,00,E0"));
  l_Inventory.m_Items.push_back(controller(2, "MR00:00,1C"));
  attachControllers(l_Inventory.m_Items);
  return l_Inventory;
}

TEST(Renderers, NothingFoundSaysSo) {
  std::ostringstream l_Table;
  std::ostringstream l_Tree;
  renderTable(sInventory(), l_Table);
  renderTree(sInventory(), l_Tree);
  EXPECT_EQ(l_Table.str(), std::string(kNoDeviceLine) + "\n");
  EXPECT_EQ(l_Tree.str(), std::string(kNoDeviceLine) + "\n");
  const std::string l_Json = listJson(sInventory());
  EXPECT_NE(l_Json.find("\"itemCount\": 0"), std::string::npos);
  EXPECT_NE(l_Json.find("\"items\": []"), std::string::npos);
}

TEST(Renderers, TableRowsWithPortsAndPlacement) {
  std::ostringstream l_Out;
  renderTable(inventory(), l_Out);
  const std::string l_Text = l_Out.str();
  EXPECT_NE(l_Text.find("QV PXIe-6550"), std::string::npos);
  EXPECT_NE(l_Text.find("03:00.0"), std::string::npos);
  EXPECT_NE(l_Text.find("1f3c:5a31"), std::string::npos);
  EXPECT_NE(l_Text.find("01A2B3C4"), std::string::npos);
  EXPECT_NE(l_Text.find("port 4: number 4"), std::string::npos);
  EXPECT_NE(l_Text.find("below: item 0, port 2"), std::string::npos) << l_Text;
  EXPECT_NE(l_Text.find("below: not below a listed upstream port"), std::string::npos);
}

TEST(Renderers, TableKeepsRowsWithinTheColumnsByCuttingTheModel) {
  sInventory l_Inventory = inventory();
  l_Inventory.m_Items[1].m_Model = text(std::string(120, 'M'));
  std::ostringstream l_Out;
  renderTable(l_Inventory, l_Out, 80);
  std::istringstream l_Lines(l_Out.str());
  for (std::string l_Line; std::getline(l_Lines, l_Line);) EXPECT_LE(l_Line.size(), 80u) << l_Line;
  EXPECT_NE(l_Out.str().find("MMM...\n"), std::string::npos) << l_Out.str();
}

TEST(Renderers, TreePutsControllerUnderItsPort) {
  std::ostringstream l_Out;
  renderTree(inventory(), l_Out);
  const std::string l_Text = l_Out.str();
  const size_t l_Port2 = l_Text.find("port 2\n");
  const size_t l_Port3 = l_Text.find("port 3\n");
  const size_t l_Controller = l_Text.find("[1] controller");
  ASSERT_NE(l_Port2, std::string::npos) << l_Text;
  ASSERT_NE(l_Controller, std::string::npos) << l_Text;
  EXPECT_LT(l_Port2, l_Controller);
  EXPECT_LT(l_Controller, l_Port3);
  const size_t l_Loose = l_Text.find("Not below a listed upstream port:");
  ASSERT_NE(l_Loose, std::string::npos);
  EXPECT_GT(l_Text.find("[2] controller"), l_Loose);
}

// Every line of the tree and of the details fits the width, whatever the
// device's texts, and the fields a long line is broken into stay whole.
TEST(Renderers, TreeAndDetailsStayWithinTheColumns) {
  sInventory l_Inventory = inventory();
  l_Inventory.m_Items[1].m_Model = text("QV PXI-2250 Integrated ZEL Express");
  l_Inventory.m_Items[2].m_Model = text(std::string(90, 'M'));
  l_Inventory.m_Items[0].m_Ports[3].m_Name = text(std::string(70, 'P'));
  std::ostringstream l_Out;
  renderTree(l_Inventory, l_Out, 60);
  renderDetails(l_Inventory.m_Items[0], l_Inventory, l_Out, 60);
  std::istringstream l_Lines(l_Out.str());
  for (std::string l_Line; std::getline(l_Lines, l_Line);) EXPECT_LE(l_Line.size(), 60u) << l_Line;
  EXPECT_NE(l_Out.str().find("|   `-- [1] controller QV PXI-2250 Integrated ZEL Express\n"
                             "|           MR00:00,00,08,00,E0  09:00.0\n"),
            std::string::npos)
      << l_Out.str();
  EXPECT_NE(l_Out.str().find("\nSerial number:  01A2B3C4\n"), std::string::npos) << l_Out.str();
}

TEST(Renderers, JsonKeepsKindObjectsAndNulls) {
  const std::string l_Json = listJson(inventory());
  EXPECT_EQ(l_Json.rfind("{\n  \"format\": \"qvzel-list\",\n  \"layoutVersion\": 1,", 0), 0u);
  EXPECT_NE(l_Json.find("\"serialNumber\": \"01A2B3C4\""), std::string::npos);
  EXPECT_NE(l_Json.find("\"portWidth\": null"), std::string::npos);  // not answered
  EXPECT_NE(l_Json.find("\"below\": {\n"), std::string::npos);
  EXPECT_NE(l_Json.find("\"portName\": \"2\""), std::string::npos);
  EXPECT_NE(l_Json.find("\"below\": null"), std::string::npos);
  EXPECT_NE(l_Json.find("\"address\": \"09:00.0\""), std::string::npos);
}

}  // namespace
