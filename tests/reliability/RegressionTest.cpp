// SPDX-License-Identifier: LGPL-2.1-or-later
// Faults the reliability checks found in the library, one test each, so they
// stay fixed independently of the fuzz corpora.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "status/JsonStatus.h"

namespace {

// Found by fuzz_json_details: folding details back dropped the leading
// backslashes of every file path, not only of a path cut to its tail.
TEST(RegressionTest, FoldBackKeepsLeadingBackslashesOfAnUncutFile) {
  Status l_Original;
  l_Original.set(qvstatus::kNotFound, "qvzelif", "\\\\srv\\share\\firmware.cpp", 42);
  Status l_Back;
  {
    JsonStatusScope l_Scope(l_Back);
    statusToJson(l_Original, l_Scope.json());
  }
  EXPECT_EQ(l_Back.code, qvstatus::kNotFound);
  EXPECT_STREQ(l_Back.file, "\\\\srv\\share\\firmware.cpp");
  EXPECT_EQ(l_Back.line, 42u);

  // A path cut to its last 100 bytes still loses a stray backslash in front.
  JsonStatus l_Json;
  l_Json.setCode(qvstatus::kNotFound);
  const std::string l_Long = std::string(150, 'a');
  const std::string l_Text =
      "{\"file\":\"" + l_Long.substr(0, 49) + "\\\\" + l_Long.substr(0, 99) + "\"}";
  ASSERT_NE(l_Json.setText(l_Text.c_str()), nullptr);
  Status l_Cut;
  jsonToStatus(l_Json, l_Cut);
  EXPECT_EQ(std::string(l_Cut.file), l_Long.substr(0, 99));
}

}  // namespace
