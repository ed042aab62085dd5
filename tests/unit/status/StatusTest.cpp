// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/Status.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Status, FreshRecordIsEmpty) {
  Status l_Status;
  EXPECT_EQ(l_Status.capacity, 216u);
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_STREQ(l_Status.component, "");
  EXPECT_STREQ(l_Status.file, "");
  EXPECT_EQ(l_Status.line, 0u);
  EXPECT_EQ(l_Status.details[0], 0u);
}

TEST(Status, FirstFailureRule) {
  Status l_Status;
  EXPECT_FALSE(l_Status.set(0, "c", "f", 1));
  EXPECT_TRUE(l_Status.set(5, "warn", "w.cpp", 10));
  EXPECT_FALSE(l_Status.set(6, "warn2", "w2.cpp", 11));  // first warning kept
  EXPECT_EQ(l_Status.code, 5);
  EXPECT_STREQ(l_Status.file, "w.cpp");
  EXPECT_TRUE(l_Status.set(-52005, "err", "e.cpp", 20));  // error displaces warning
  EXPECT_EQ(l_Status.code, -52005);
  EXPECT_STREQ(l_Status.component, "err");
  EXPECT_STREQ(l_Status.file, "e.cpp");
  EXPECT_EQ(l_Status.line, 20u);
  EXPECT_FALSE(l_Status.set(-52006, "err2", "e2.cpp", 21));  // first error kept
  EXPECT_FALSE(l_Status.set(7, "w", "w", 1));
  EXPECT_FALSE(l_Status.set(0, "w", "w", 1));
  EXPECT_EQ(l_Status.code, -52005);
  EXPECT_STREQ(l_Status.file, "e.cpp");
}

TEST(Status, ComponentKeepsNineCharacters) {
  Status l_Status;
  l_Status.set(-1, "0123456789abc", "f", 1);
  EXPECT_STREQ(l_Status.component, "012345678");
}

TEST(Status, FilePathShortening) {
  const std::string l_Exact(100, 'a');
  Status l_Exactly;
  l_Exactly.set(-1, "c", l_Exact.c_str(), 1);
  EXPECT_EQ(std::string(l_Exactly.file), l_Exact);

  std::string l_Long;
  for (int l_Index = 0; l_Index < 101; ++l_Index) l_Long += static_cast<char>('a' + l_Index % 26);
  Status l_Shortened;
  l_Shortened.set(-1, "c", l_Long.c_str(), 1);
  EXPECT_EQ(std::string(l_Shortened.file), l_Long.substr(0, 49) + ".." + l_Long.substr(101 - 49));
  EXPECT_EQ(std::string(l_Shortened.file).size(), 100u);
}

TEST(Status, SmallCapacityTakesOnlyTheCode) {
  Status l_Status;
  l_Status.capacity = 16;
  EXPECT_TRUE(l_Status.set(-52000, "comp", "file", 3));
  EXPECT_EQ(l_Status.code, -52000);
  EXPECT_STREQ(l_Status.component, "");
  EXPECT_EQ(l_Status.line, 0u);
}

TEST(Status, MergeCopiesSiteAndDetails) {
  Status l_Source;
  l_Source.set(-52006, "src", "s.cpp", 9);
  l_Source.details[0] = 11;
  l_Source.details[1] = 0;
  Status l_Target;
  EXPECT_TRUE(l_Target.merge(l_Source));
  EXPECT_EQ(l_Target.code, -52006);
  EXPECT_STREQ(l_Target.component, "src");
  EXPECT_EQ(l_Target.line, 9u);
  EXPECT_EQ(l_Target.details[0], 11u);

  Status l_Failed;
  l_Failed.set(-1, "first", "first.cpp", 1);
  EXPECT_FALSE(l_Failed.merge(l_Source));
  EXPECT_EQ(l_Failed.code, -1);
  EXPECT_STREQ(l_Failed.component, "first");
  EXPECT_EQ(l_Failed.details[0], 0u);
}

TEST(Status, MergeFromSmallRecordUsesEmptySite) {
  Status l_Source;
  l_Source.capacity = 16;
  l_Source.code = -52003;
  Status l_Target;
  EXPECT_TRUE(l_Target.merge(l_Source));
  EXPECT_EQ(l_Target.code, -52003);
  EXPECT_STREQ(l_Target.file, "");
}

TEST(Status, ClearEmptiesEverything) {
  Status l_Status;
  l_Status.set(-313004, "c", "f", 4);
  l_Status.clear();
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_STREQ(l_Status.component, "");
  EXPECT_STREQ(l_Status.file, "");
  EXPECT_EQ(l_Status.line, 0u);
}

}  // namespace
