// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/JsonStatus.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string textOf(const JsonStatus& a_rStatus) {
  return a_rStatus.json != nullptr ? std::string(a_rStatus.json) : std::string("<none>");
}

TEST(StatusConversion, StatusToJsonWritesFileLineComponent) {
  Status l_Status;
  l_Status.set(-52006, "qvzelif", "dir/file.cpp", 77);
  JsonStatus l_Json;
  statusToJson(l_Status, l_Json);
  EXPECT_EQ(l_Json.code, -52006);
  EXPECT_EQ(textOf(l_Json), R"({"file":"dir/file.cpp","line":77,"component":"qvzelif"})");

  Status l_Success;
  JsonStatus l_Untouched;
  statusToJson(l_Success, l_Untouched);
  EXPECT_EQ(l_Untouched.code, 0);
  EXPECT_EQ(l_Untouched.json, nullptr);

  Status l_CodeOnly;
  l_CodeOnly.capacity = 16;
  l_CodeOnly.set(-52000, "c", "f", 1);
  JsonStatus l_Json2;
  statusToJson(l_CodeOnly, l_Json2);
  EXPECT_EQ(l_Json2.code, -52000);
  EXPECT_EQ(l_Json2.json, nullptr);
}

TEST(StatusConversion, JsonToStatusReadsBackAndCuts) {
  JsonStatus l_Json;
  l_Json.setCode(-52005);
  l_Json.setText(
      R"({"error_constant":"e","file":"a\\b.cpp","line":12,"component":"0123456789xyz"})");
  Status l_Status;
  jsonToStatus(l_Json, l_Status);
  EXPECT_EQ(l_Status.code, -52005);
  EXPECT_STREQ(l_Status.file, "a\\b.cpp");
  EXPECT_EQ(l_Status.line, 12u);
  EXPECT_STREQ(l_Status.component, "012345678");

  // Members of the wrong type count as empty; a string "line" gives 0.
  JsonStatus l_Odd;
  l_Odd.setCode(4);
  l_Odd.setText(R"({"file":5,"line":"12","component":null})");
  Status l_Warned;
  jsonToStatus(l_Odd, l_Warned);
  EXPECT_EQ(l_Warned.code, 4);
  EXPECT_STREQ(l_Warned.file, "");
  EXPECT_EQ(l_Warned.line, 0u);
  EXPECT_STREQ(l_Warned.component, "");

  // No details at all: only the code.
  JsonStatus l_Bare;
  l_Bare.setCode(-3);
  Status l_FromBare;
  jsonToStatus(l_Bare, l_FromBare);
  EXPECT_EQ(l_FromBare.code, -3);
  EXPECT_STREQ(l_FromBare.file, "");
}

TEST(StatusConversion, LongFileKeepsItsLastHundredBytes) {
  std::string l_Path;
  for (int l_Index = 0; l_Index < 150; ++l_Index) l_Path += static_cast<char>('a' + l_Index % 26);
  JsonStatus l_Json;
  l_Json.setCodeAt(-52006, ErrorSite{l_Path.c_str(), 3, "qvzelif", nullptr});
  Status l_Status;
  jsonToStatus(l_Json, l_Status);
  EXPECT_EQ(std::string(l_Status.file), l_Path.substr(50));

  // A cut that lands inside an escape drops the stray backslashes.
  const std::string l_Escaped = std::string(120, 'x') + "\\\\" + std::string(98, 'y');
  JsonStatus l_Json2;
  l_Json2.setCode(-1);
  l_Json2.setText((R"({"file":")" + l_Escaped + R"("})").c_str());
  Status l_Status2;
  jsonToStatus(l_Json2, l_Status2);
  EXPECT_EQ(std::string(l_Status2.file), std::string(98, 'y'));
}

TEST(StatusConversion, ComponentCutThroughEscapeStopsThere) {
  JsonStatus l_Json;
  l_Json.setCode(-1);
  l_Json.setText(R"({"component":"abcdef\u0041gh"})");  // 9 raw bytes end inside the escape
  Status l_Status;
  jsonToStatus(l_Json, l_Status);
  EXPECT_STREQ(l_Status.component, "abcdef");
}

TEST(JsonStatusScope, FoldsOutcomeBackAndReleases) {
  Status l_Status;
  {
    JsonStatusScope l_Scope(l_Status);
    EXPECT_EQ(l_Scope.json().code, 0);
    JsonStatus& l_rJson = l_Scope;
    l_rJson.setCodeAt(-52003, ErrorSite{"inner.cpp", 9, "qvzelif", "k"});
  }
  EXPECT_EQ(l_Status.code, -52003);
  EXPECT_STREQ(l_Status.file, "inner.cpp");
  EXPECT_EQ(l_Status.line, 9u);
  EXPECT_STREQ(l_Status.component, "qvzelif");

  // A warning in the Status is carried in and an error displaces it.
  Status l_Warned;
  l_Warned.set(2, "w", "w.cpp", 1);
  {
    JsonStatusScope l_Scope(l_Warned);
    EXPECT_EQ(l_Scope.json().code, 2);
    EXPECT_NE(std::string(l_Scope.json().json).find("w.cpp"), std::string::npos);
    l_Scope.json().setCodeAt(-5, ErrorSite{"e.cpp", 4, "qvzelif", nullptr});
  }
  EXPECT_EQ(l_Warned.code, -5);
  EXPECT_STREQ(l_Warned.file, "e.cpp");
}

TEST(JsonStatusScope, FailedStatusStaysUnchanged) {
  Status l_Status;
  l_Status.set(-52005, "first", "first.cpp", 5);
  {
    JsonStatusScope l_Scope(l_Status);
    EXPECT_EQ(l_Scope.json().code, -52005);
    // Code holding the scope would do nothing now; force a different outcome.
    l_Scope.json().code = -7;
    l_Scope.json().setText(R"({"file":"other.cpp","line":1})");
  }
  EXPECT_EQ(l_Status.code, -52005);
  EXPECT_STREQ(l_Status.file, "first.cpp");
  EXPECT_STREQ(l_Status.component, "first");
  EXPECT_EQ(l_Status.line, 5u);
}

TEST(StatusScope, FoldsOutcomeBack) {
  JsonStatus l_Json;
  {
    StatusScope l_Scope(l_Json);
    EXPECT_EQ(l_Scope.status().code, 0);
    EXPECT_EQ(l_Scope.status().capacity, Status::kFullCapacity);
    Status& l_rStatus = l_Scope;
    QVZ_SET_STATUS(l_rStatus, qvstatus::kMemoryFull);
  }
  EXPECT_EQ(l_Json.code, qvstatus::kMemoryFull);
  const std::string l_Text = l_Json.json;
  EXPECT_EQ(l_Text.find(R"({"file":")"), 0u);
  EXPECT_NE(l_Text.find(R"("component":"qvzelif")"), std::string::npos);

  // An error already in the JsonStatus is kept with its details.
  JsonStatus l_Failed;
  l_Failed.setCodeAt(-52006, ErrorSite{"keep.cpp", 8, "qvzelif", "c"});
  const std::string l_Before = l_Failed.json;
  {
    StatusScope l_Scope(l_Failed);
    EXPECT_EQ(l_Scope.status().code, -52006);
    EXPECT_STREQ(l_Scope.status().file, "keep.cpp");
  }
  EXPECT_EQ(l_Failed.code, -52006);
  EXPECT_EQ(std::string(l_Failed.json), l_Before);
}

}  // namespace
