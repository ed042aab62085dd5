// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/StatusString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

TEST(StatusString, GrowthRule) {
  JsonStatus l_Status;
  StatusString l_String("hello", l_Status);
  EXPECT_STREQ(l_String.c_str(), "hello");
  EXPECT_EQ(l_String.size(), 5u);
  EXPECT_EQ(l_String.capacity(), 127u);

  StatusString l_Sized;
  l_Sized.reserve(200, l_Status);
  EXPECT_EQ(l_Sized.capacity(), 200u);
  l_Sized.reserve(150, l_Status);  // enough already
  EXPECT_EQ(l_Sized.capacity(), 200u);
  l_Sized.reserve(250, l_Status);
  EXPECT_EQ(l_Sized.capacity(), 300u);
  l_Sized.reserve(1000, l_Status);  // the need beats 1.5 times
  EXPECT_EQ(l_Sized.capacity(), 1000u);

  StatusString l_Assigned;
  l_Assigned.reserve(200, l_Status);
  const std::string l_Long(250, 'q');
  l_Assigned.assign(l_Long.c_str(), l_Status);
  EXPECT_EQ(l_Assigned.capacity(), 300u);
  EXPECT_EQ(std::string(l_Assigned.c_str()), l_Long);
  EXPECT_EQ(l_Status.code, 0);
}

TEST(StatusString, AssignRules) {
  JsonStatus l_Status;
  StatusString l_String("some text", l_Status);
  const char* const l_pBuffer = l_String.data();
  l_String.assign("other", l_Status);  // fits: copied in place
  EXPECT_EQ(l_String.data(), l_pBuffer);
  EXPECT_STREQ(l_String.c_str(), "other");

  l_String.assign("", l_Status);
  EXPECT_EQ(l_String.size(), 0u);
  EXPECT_STREQ(l_String.c_str(), "");
  EXPECT_EQ(l_String.capacity(), 127u);

  l_String.assign("a\0b", 3, l_Status);  // byte ranges may hold NUL bytes
  EXPECT_EQ(std::string(l_String.data(), l_String.size()), std::string("a\0b", 3));

  l_String.assign("abcdef", l_Status);
  l_String.assign(l_String.data() + 2, 3, l_Status);  // source inside the string itself
  EXPECT_STREQ(l_String.c_str(), "cde");

  StatusString l_Copy(l_String, l_Status);
  EXPECT_STREQ(l_Copy.c_str(), "cde");
  EXPECT_NE(l_Copy.data(), l_String.data());

  l_Copy.release();
  EXPECT_EQ(l_Copy.data(), nullptr);
  EXPECT_EQ(l_Copy.capacity(), 0u);
  EXPECT_EQ(l_Copy.size(), 0u);
  EXPECT_STREQ(l_Copy.c_str(), "");

  l_Copy.swap(l_String);
  EXPECT_STREQ(l_Copy.c_str(), "cde");
  EXPECT_EQ(l_String.data(), nullptr);
}

TEST(StatusString, FailedStatusDoesNothing) {
  JsonStatus l_Status;
  l_Status.setCode(-52005);
  StatusString l_String("text", l_Status);
  EXPECT_EQ(l_String.data(), nullptr);
  l_String.reserve(10, l_Status);
  l_String.assign("more", l_Status);
  EXPECT_EQ(l_String.data(), nullptr);
  EXPECT_EQ(l_Status.code, -52005);
}

TEST(StatusString, AllocationFailureKeepsOldContent) {
  JsonStatus l_Status;
  StatusString l_String("keep me", l_Status);

  l_String.reserve(std::numeric_limits<size_t>::max(), l_Status);  // capacity + 1 overflows
  EXPECT_EQ(l_Status.code, qvstatus::kMemoryFull);
  ASSERT_NE(l_Status.json, nullptr);
  EXPECT_NE(std::string(l_Status.json).find("qvkoraerr_memoryFull"), std::string::npos);
  EXPECT_STREQ(l_String.c_str(), "keep me");
  EXPECT_EQ(l_String.capacity(), 127u);

  // An allocation that fails: the source bytes are never read.
  JsonStatus l_Second;
  l_String.assign("x", std::numeric_limits<size_t>::max() / 2, l_Second);
  EXPECT_EQ(l_Second.code, qvstatus::kMemoryFull);
  EXPECT_STREQ(l_String.c_str(), "keep me");
}

}  // namespace
