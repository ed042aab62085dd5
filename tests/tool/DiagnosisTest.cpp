// SPDX-License-Identifier: LGPL-2.1-or-later
// The model rows `qvzel diagnose` searches for are the library's own: read
// from the library's table source, row by row, so that a row added or
// changed there and not here fails.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "Diagnosis.h"

namespace {

using namespace nQvzelTool;

TEST(Diagnosis, ModelRowsAreTheLibrarysTable) {
  std::ifstream l_In(QVZ_SOURCE_DIR "/src/device/sModelEntry.cpp");
  ASSERT_TRUE(l_In.good());
  std::stringstream l_Source;
  l_Source << l_In.rdbuf();
  const std::string l_Text = l_Source.str();
  const std::regex l_Row(
      "\\{\"([^\"]+)\", (kModelKind\\w+),\\s*\"[^\"]*\", \\d+, (\\d), (0x[0-9A-F]+), "
      "(0x[0-9A-F]+), (0x[0-9A-F]+|0), "
      "(0x[0-9A-F]+|0),\\s*(nullptr|\"[^\"]*\"|kIdtInterface|kUpstreamInterfaceClass)");
  const std::vector<sModelRow>& l_rRows = modelRows();
  size_t l_Index = 0;
  for (auto l_It = std::sregex_iterator(l_Text.begin(), l_Text.end(), l_Row);
       l_It != std::sregex_iterator(); ++l_It, ++l_Index) {
    const std::smatch& l_rMatch = *l_It;
    ASSERT_LT(l_Index, l_rRows.size()) << "the library has more rows: " << l_rMatch[1];
    const sModelRow& l_rOurs = l_rRows[l_Index];
    EXPECT_EQ(l_rMatch[1].str(), l_rOurs.m_pModel);
    EXPECT_EQ(l_rMatch[2].str().find("Upstream") != std::string::npos, l_rOurs.m_Upstream)
        << l_rOurs.m_pModel;
    EXPECT_EQ(l_rMatch[3].str() == "1", l_rOurs.m_FindByPciIds) << l_rOurs.m_pModel;
    EXPECT_EQ(std::stoul(l_rMatch[4].str(), nullptr, 16), l_rOurs.m_VendorId);
    EXPECT_EQ(std::stoul(l_rMatch[5].str(), nullptr, 16), l_rOurs.m_DeviceId);
    EXPECT_EQ(std::stoul(l_rMatch[6].str(), nullptr, 16), l_rOurs.m_SubsystemVendorId);
    EXPECT_EQ(std::stoul(l_rMatch[7].str(), nullptr, 16), l_rOurs.m_SubsystemId);
    std::string l_Interface = l_rMatch[8].str();
    if (l_Interface == "kIdtInterface") l_Interface = "\"nQVZEL_1_0_IdtUpstreamZEL\"";
    if (l_Interface == "kUpstreamInterfaceClass") {
      l_Interface = "\"nQVZEL_1_0_Cyclone4UpstreamZEL\"";
    }
    EXPECT_EQ(l_Interface, l_rOurs.m_pInterface == nullptr
                               ? std::string("nullptr")
                               : "\"" + std::string(l_rOurs.m_pInterface) + "\"");
  }
  EXPECT_EQ(l_Index, l_rRows.size());
}

}  // namespace
