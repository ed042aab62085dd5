// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <vector>

#include "CommandLine.h"
#include "ItemSelector.h"
#include "ToolTestItems.h"

namespace {

using namespace nQvzelTool;
using namespace nQvzelToolTest;

sOptions parse(std::vector<const char*> a_Args) {
  a_Args.insert(a_Args.begin(), "qvzel");
  return parseCommandLine(static_cast<int>(a_Args.size()), a_Args.data());
}

TEST(CommandLine, CommandsTakeTheirArgumentsAndOptionsAnywhere) {
  sOptions l_Options = parse({"list", "--json", "--"});
  EXPECT_EQ(l_Options.m_Error, "");
  EXPECT_TRUE(l_Options.m_Json);

  l_Options = parse({"update", "--yes", "MR00:00,E0", "fw.img", "--force"});
  EXPECT_EQ(l_Options.m_Error, "");
  EXPECT_EQ(l_Options.m_Command, "update");
  EXPECT_EQ(l_Options.m_Args, (std::vector<std::string>{"MR00:00,E0", "fw.img"}));
  EXPECT_TRUE(l_Options.m_Force && l_Options.m_Yes);

  // After "--" an argument that starts with a dash is a file name.
  l_Options = parse({"check-image", "--", "-odd.img"});
  EXPECT_EQ(l_Options.m_Error, "");
  EXPECT_EQ(l_Options.m_Args, (std::vector<std::string>{"-odd.img"}));
}

TEST(CommandLine, UsageErrors) {
  EXPECT_NE(parse({}).m_Error, "");
  EXPECT_NE(parse({"frobnicate"}).m_Error, "");
  EXPECT_NE(parse({"list", "--verbose"}).m_Error, "");
  EXPECT_NE(parse({"list", "extra"}).m_Error, "");
  EXPECT_NE(parse({"show"}).m_Error, "");
  EXPECT_NE(parse({"show", "1", "2"}).m_Error, "");
  EXPECT_NE(parse({"update", "0"}).m_Error, "");
  EXPECT_NE(parse({"list", "--force"}).m_Error, "");
  EXPECT_NE(parse({"show", "0", "--tree"}).m_Error, "");
  EXPECT_NE(parse({"help", "frobnicate"}).m_Error, "");
  EXPECT_NE(parse({"show", ""}).m_Error, "");  // names nothing
  // The tree has no JSON form of its own: refused, never dropped.
  EXPECT_NE(parse({"list", "--tree", "--json"}).m_Error, "");
  // The option at fault is named.
  EXPECT_EQ(parse({"update", "0", "fw.img", "--json"}).m_Error,
            "'update' does not take the option '--json'");
  EXPECT_EQ(parse({"list", "--verbose"}).m_Error, "unknown option '--verbose'");
}

TEST(CommandLine, HelpAndVersionNeedNoCommandArguments) {
  sOptions l_Options = parse({"--help"});
  EXPECT_TRUE(l_Options.m_Help);
  EXPECT_EQ(l_Options.m_Error, "");
  l_Options = parse({"update", "--help"});
  EXPECT_TRUE(l_Options.m_Help);
  EXPECT_EQ(l_Options.m_Command, "update");
  EXPECT_EQ(l_Options.m_Error, "");
  l_Options = parse({"help", "check-image"});
  EXPECT_TRUE(l_Options.m_Help);
  EXPECT_EQ(l_Options.m_Command, "check-image");
  EXPECT_EQ(parse({"--version"}).m_Version, true);
}

sInventory inventory() {
  sInventory l_Inventory;
  l_Inventory.m_Items.push_back(upstream(0, "MR00:00,00,E0", 4, "01A2B3C4"));
  l_Inventory.m_Items.push_back(controller(1, "MR00:00,00,08,00,E0"));
  l_Inventory.m_Items.push_back(upstream(2, "MR00:20,00,E0", 1, "123"));
  l_Inventory.m_Items.push_back(controller(3, "MR00:00,00,08,00,E0"));  // listed twice
  return l_Inventory;
}

TEST(ItemSelector, IndexSlotPathAndSerialNumber) {
  const sInventory l_Inventory = inventory();
  sSelection l_Selection = selectItem(l_Inventory, "2");
  EXPECT_TRUE(l_Selection.m_Found);
  EXPECT_EQ(l_Selection.m_Index, 2u);

  l_Selection = selectItem(l_Inventory, "mr00:20,00,e0");  // case does not matter
  EXPECT_TRUE(l_Selection.m_Found);
  EXPECT_EQ(l_Selection.m_Index, 2u);

  l_Selection = selectItem(l_Inventory, "01A2B3C4");
  EXPECT_TRUE(l_Selection.m_Found);
  EXPECT_EQ(l_Selection.m_Index, 0u);

  // A serial number of digits only needs its prefix; plain it is an index.
  l_Selection = selectItem(l_Inventory, "serial:123");
  EXPECT_TRUE(l_Selection.m_Found);
  EXPECT_EQ(l_Selection.m_Index, 2u);
  l_Selection = selectItem(l_Inventory, "123");
  EXPECT_FALSE(l_Selection.m_Found);
  EXPECT_NE(l_Selection.m_Problem.find("0 to 3"), std::string::npos) << l_Selection.m_Problem;
  // However long, a number stays an index.
  l_Selection = selectItem(l_Inventory, "00000000000000000002");
  EXPECT_EQ(l_Selection.m_Index, 2u);
  EXPECT_FALSE(selectItem(l_Inventory, "12345678901234567890").m_Found);
}

TEST(ItemSelector, DuplicatesAndMisses) {
  const sInventory l_Inventory = inventory();
  sSelection l_Selection = selectItem(l_Inventory, "slot:MR00:00,00,08,00,E0");
  EXPECT_TRUE(l_Selection.m_Found);
  EXPECT_EQ(l_Selection.m_Index, 1u);
  EXPECT_NE(l_Selection.m_Note.find("1, 3"), std::string::npos) << l_Selection.m_Note;

  EXPECT_FALSE(selectItem(l_Inventory, "MR00:99").m_Found);
  EXPECT_FALSE(selectItem(l_Inventory, "NOSUCHSERIAL").m_Found);
  EXPECT_FALSE(selectItem(l_Inventory, "serial:").m_Found);
  EXPECT_FALSE(selectItem(sInventory(), "0").m_Found);
}

}  // namespace
