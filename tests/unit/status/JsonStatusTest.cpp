// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/JsonStatus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string textOf(const JsonStatus& a_rStatus) {
  return a_rStatus.json != nullptr ? std::string(a_rStatus.json) : std::string("<none>");
}

TEST(JsonStatus, NewStatusIsEmpty) {
  JsonStatus l_Status;
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_EQ(l_Status.capacity, 0u);
  EXPECT_EQ(l_Status.json, nullptr);
  EXPECT_EQ(l_Status.reallocate, &JsonStatus::defaultReallocate);
}

TEST(JsonStatus, DefaultReallocateSizes) {
  JsonStatus l_Small;
  ASSERT_TRUE(JsonStatus::defaultReallocate(&l_Small, 10));
  EXPECT_EQ(l_Small.capacity, 512u);
  EXPECT_EQ(textOf(l_Small), "{}");
  EXPECT_EQ(l_Small.json[511], 'J');

  JsonStatus l_Large;
  ASSERT_TRUE(JsonStatus::defaultReallocate(&l_Large, 600));
  EXPECT_EQ(l_Large.capacity, 1024u);
  ASSERT_TRUE(JsonStatus::defaultReallocate(&l_Large, 1024));  // not above: unchanged
  EXPECT_EQ(l_Large.capacity, 1024u);

  // Growing keeps the text.
  ASSERT_NE(l_Small.setText(R"({"k":1})"), nullptr);
  ASSERT_TRUE(JsonStatus::defaultReallocate(&l_Small, 513));
  EXPECT_EQ(l_Small.capacity, 1024u);
  EXPECT_EQ(textOf(l_Small), R"({"k":1})");
  EXPECT_EQ(l_Small.json[1023], 'J');

  EXPECT_FALSE(JsonStatus::defaultReallocate(&l_Small, 0x80000000u));
  EXPECT_EQ(l_Small.capacity, 1024u);
  ASSERT_TRUE(JsonStatus::defaultReallocate(&l_Small, 0));
  EXPECT_EQ(l_Small.json, nullptr);
  EXPECT_EQ(l_Small.capacity, 0u);
}

TEST(JsonStatus, SetCodeFollowsFirstFailureRule) {
  JsonStatus l_Status;
  EXPECT_FALSE(l_Status.setCode(0));
  EXPECT_TRUE(l_Status.setCode(3));
  EXPECT_FALSE(l_Status.setCode(4));
  EXPECT_EQ(l_Status.code, 3);
  ASSERT_NE(l_Status.setText(R"({"old":1})"), nullptr);
  EXPECT_TRUE(l_Status.setCode(-52005));
  EXPECT_EQ(textOf(l_Status), "{}");  // details of the warning are gone
  EXPECT_FALSE(l_Status.setCode(-52006));
  EXPECT_FALSE(l_Status.setCode(1));
  EXPECT_EQ(l_Status.code, -52005);
}

TEST(JsonStatus, SetCodeAtWritesMembersInOrder) {
  JsonStatus l_Status;
  bool l_Ok = false;
  EXPECT_TRUE(
      l_Status.setCodeAt(-52006, ErrorSite{"src/x.cpp", 42, "qvzelif", "err_const"}, &l_Ok));
  EXPECT_TRUE(l_Ok);
  EXPECT_EQ(l_Status.code, -52006);
  EXPECT_EQ(textOf(l_Status),
            R"({"error_constant":"err_const","file":"src/x.cpp","line":42,"component":"qvzelif"})");

  JsonStatus l_Bare;
  EXPECT_TRUE(l_Bare.setCodeAt(5, ErrorSite{"f.cpp", -1, nullptr, nullptr}));
  EXPECT_EQ(textOf(l_Bare), R"({"file":"f.cpp","line":-1})");

  // A later error is not recorded, and ok still comes back true.
  l_Ok = false;
  EXPECT_FALSE(l_Status.setCodeAt(-1, QVZ_ERROR_SITE("other"), &l_Ok));
  EXPECT_TRUE(l_Ok);
  EXPECT_EQ(l_Status.code, -52006);
  EXPECT_NE(textOf(l_Status).find("err_const"), std::string::npos);
}

TEST(JsonStatus, SetCodeAtGrowsForLongDetails) {
  JsonStatus l_Status;
  const std::string l_Long(3000, 'p');
  bool l_Ok = false;
  EXPECT_TRUE(l_Status.setCodeAt(-52000, ErrorSite{l_Long.c_str(), 1, "c", "e"}, &l_Ok));
  EXPECT_TRUE(l_Ok);
  EXPECT_EQ(l_Status.capacity, 4096u);
  EXPECT_EQ(textOf(l_Status),
            R"({"error_constant":"e","file":")" + l_Long + R"(","line":1,"component":"c"})");
  EXPECT_EQ(l_Status.json[4095], 'J');
}

// A reallocation function that refuses every request for memory.
bool refuseMemory(JsonStatus* a_pStatus, uint32_t a_Size) {
  if (a_Size == 0) return JsonStatus::defaultReallocate(a_pStatus, 0);
  return false;
}

TEST(JsonStatus, CodeSurvivesWhenDetailsCannotBeWritten) {
  JsonStatus l_Status;
  l_Status.reallocate = &refuseMemory;
  bool l_Ok = true;
  EXPECT_TRUE(l_Status.setCodeAt(-52003, QVZ_ERROR_SITE("x"), &l_Ok));
  EXPECT_FALSE(l_Ok);
  EXPECT_EQ(l_Status.code, -52003);
  EXPECT_EQ(l_Status.json, nullptr);
}

TEST(JsonStatus, ReserveAndGrow) {
  JsonStatus l_Status;
  char* l_pPoint = l_Status.reserve(2);
  ASSERT_NE(l_pPoint, nullptr);
  EXPECT_EQ(textOf(l_Status), "{}");
  EXPECT_EQ(l_pPoint, l_Status.json + 1);
  EXPECT_EQ(l_Status.reserve(0x7FFFFFFEu), nullptr);

  ASSERT_NE(l_Status.setText(R"({"a":[1,2]})"), nullptr);
  l_pPoint = l_Status.reserve(256);
  ASSERT_NE(l_pPoint, nullptr);
  EXPECT_EQ(l_pPoint - l_Status.json, 10);

  char* l_pMoved = l_Status.grow(l_pPoint);
  ASSERT_NE(l_pMoved, nullptr);
  EXPECT_EQ(l_Status.capacity, 1024u);
  EXPECT_EQ(l_pMoved - l_Status.json, 10);
  EXPECT_EQ(textOf(l_Status), R"({"a":[1,2]})");

  ASSERT_NE(l_Status.setText("\"plain\""), nullptr);
  EXPECT_EQ(l_Status.reserve(2), nullptr);  // no object or array: no insertion point
}

TEST(JsonStatus, MoveMergeAndAssign) {
  JsonStatus l_Source;
  l_Source.setCodeAt(-52005, ErrorSite{"s.cpp", 1, "qvzelif", nullptr});
  const std::string l_Details = textOf(l_Source);
  char* const l_pBuffer = l_Source.json;

  JsonStatus l_Merged;
  EXPECT_TRUE(l_Merged.mergeFrom(l_Source));
  EXPECT_EQ(l_Merged.code, -52005);
  EXPECT_EQ(textOf(l_Merged), l_Details);
  EXPECT_EQ(l_Source.json, l_pBuffer);  // the source keeps its buffer

  JsonStatus l_Moved;
  l_Moved.setCode(7);
  bool l_Ok = false;
  EXPECT_TRUE(l_Moved.moveFrom(l_Source, &l_Ok));
  EXPECT_TRUE(l_Ok);
  EXPECT_EQ(l_Moved.json, l_pBuffer);  // same reallocate: the buffer changes hands
  EXPECT_EQ(l_Source.json, nullptr);
  EXPECT_EQ(l_Source.capacity, 0u);

  JsonStatus l_Failed;
  l_Failed.setCodeAt(-1, ErrorSite{"first.cpp", 2, nullptr, nullptr});
  EXPECT_FALSE(l_Failed.mergeFrom(l_Moved));
  EXPECT_FALSE(l_Failed.moveFrom(l_Moved));
  EXPECT_EQ(l_Failed.code, -1);
  EXPECT_NE(textOf(l_Failed).find("first.cpp"), std::string::npos);
  EXPECT_EQ(l_Moved.json, l_pBuffer);  // not moved when not recorded

  // Different reallocate functions: the text is copied.
  JsonStatus l_Other;
  l_Other.reallocate = [](JsonStatus* a_pStatus, uint32_t a_Size) {
    return JsonStatus::defaultReallocate(a_pStatus, a_Size);
  };
  EXPECT_TRUE(l_Other.moveFrom(l_Moved));
  EXPECT_EQ(textOf(l_Other), l_Details);
  EXPECT_NE(l_Other.json, l_pBuffer);

  JsonStatus l_Copy;
  l_Copy.setCode(-3);  // assign overrides unconditionally
  EXPECT_TRUE(l_Copy.assign(l_Merged));
  EXPECT_EQ(l_Copy.code, -52005);
  EXPECT_EQ(textOf(l_Copy), l_Details);
  JsonStatus l_Empty;
  EXPECT_TRUE(l_Copy.assign(l_Empty));
  EXPECT_EQ(l_Copy.code, 0);
  EXPECT_EQ(l_Copy.json, nullptr);
}

TEST(JsonStatus, GrowerCallsGrow) {
  JsonStatus l_Status;
  char* l_pPoint = l_Status.reserve(2);
  const jsonz_Grower l_Grower = l_Status.grower();
  char* l_pMoved = l_Grower.m_pGrow(l_pPoint, l_Grower.m_pContext);
  ASSERT_NE(l_pMoved, nullptr);
  EXPECT_EQ(l_Status.capacity, 1024u);
  EXPECT_EQ(*l_pMoved, '}');
}

}  // namespace
