// SPDX-License-Identifier: LGPL-2.1-or-later
// The status name table must name every code of the public header, under the
// constant's own name, exactly once.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "qvzelif_status.h"

namespace {

// Every "#define QVZEL_SUCCESS / QVZEL_ERR_x  (code)" of the public header.
std::map<std::string, int32_t> headerCodes() {
  std::ifstream l_File(std::string(QVZ_SOURCE_DIR) + "/include/qvzelif.h");
  std::map<std::string, int32_t> l_Codes;
  const std::regex l_Define(R"(^#define\s+(QVZEL_(SUCCESS|ERR_\w+))\s+\(?(-?\d+)\)?)");
  std::string l_Line;
  while (std::getline(l_File, l_Line)) {
    std::smatch l_Match;
    if (std::regex_search(l_Line, l_Match, l_Define)) {
      l_Codes[l_Match[1]] = static_cast<int32_t>(std::stol(l_Match[3]));
    }
  }
  return l_Codes;
}

TEST(StatusNames, TableNamesEveryHeaderCodeOnce) {
  const std::map<std::string, int32_t> l_Codes = headerCodes();
  ASSERT_GE(l_Codes.size(), 30u) << "the header's status codes were not found";
  size_t l_Count = 0;
  const qvzel_status_entry* l_pTable = qvzel_status_table(&l_Count);
  EXPECT_EQ(l_Count, l_Codes.size());
  std::set<int32_t> l_Seen;
  for (size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    const qvzel_status_entry& l_rEntry = l_pTable[l_Index];
    EXPECT_TRUE(l_Seen.insert(l_rEntry.code).second) << "code listed twice: " << l_rEntry.code;
    const auto l_Found = l_Codes.find(l_rEntry.name);
    ASSERT_NE(l_Found, l_Codes.end()) << l_rEntry.name << " is not a constant of qvzelif.h";
    EXPECT_EQ(l_Found->second, l_rEntry.code) << l_rEntry.name;
    const std::string l_Text = l_rEntry.text;
    ASSERT_FALSE(l_Text.empty());
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(l_Text.front()))) << l_Text;
    EXPECT_EQ(l_Text.back(), '.') << l_Text;
  }
}

TEST(StatusNames, LookupAndUnknownCodes) {
  EXPECT_STREQ(qvzel_status_name(QVZEL_ERR_NOT_FOUND), "QVZEL_ERR_NOT_FOUND");
  EXPECT_STREQ(qvzel_status_text(QVZEL_ERR_NOT_FOUND), "Not found, or no such device.");
  EXPECT_STREQ(qvzel_status_name(-52006), "QVZEL_ERR_NOT_FOUND");  // pins the value
  EXPECT_EQ(qvzel_status_find(-1), nullptr);
  EXPECT_STREQ(qvzel_status_name(-1), "QVZEL_ERR_UNKNOWN");
  EXPECT_STREQ(qvzel_status_name(17), "QVZEL_WARN_UNKNOWN");
  EXPECT_NE(std::string(qvzel_status_text(-1)), "");
  EXPECT_NE(std::string(qvzel_status_text(17)), std::string(qvzel_status_text(-1)));
}

}  // namespace
