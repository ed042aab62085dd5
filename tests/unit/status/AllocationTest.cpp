// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/Allocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

// Lets the sanitizer build return null for impossible sizes, as a plain build does.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

constexpr size_t kImpossible = std::numeric_limits<size_t>::max() / 2;

TEST(Allocation, ArrayAndObject) {
  Status l_Status;
  char* l_pArray = static_cast<char*>(allocateArray(32, l_Status));
  ASSERT_NE(l_pArray, nullptr);
  l_pArray[31] = 'x';
  delete[] l_pArray;
  void* l_pObject = allocateObject(16, l_Status);
  ASSERT_NE(l_pObject, nullptr);
  ::operator delete(l_pObject);
  EXPECT_EQ(l_Status.code, 0);
}

TEST(Allocation, FailedStatusAllocatesNothing) {
  Status l_Status;
  l_Status.set(-52005, "first", "first.cpp", 1);
  EXPECT_EQ(allocateArray(32, l_Status), nullptr);
  EXPECT_EQ(allocateObject(32, l_Status), nullptr);
  EXPECT_EQ(l_Status.code, -52005);
  EXPECT_STREQ(l_Status.file, "first.cpp");
}

TEST(Allocation, FailureRecordsMemoryFull) {
  Status l_Status;
  EXPECT_EQ(allocateArray(kImpossible, l_Status), nullptr);
  EXPECT_EQ(l_Status.code, qvstatus::kMemoryFull);
  EXPECT_STREQ(l_Status.component, "qvzelif");
  EXPECT_NE(l_Status.line, 0u);

  Status l_Warned;
  l_Warned.set(3, "w", "w", 1);
  EXPECT_EQ(allocateObject(kImpossible, l_Warned), nullptr);
  EXPECT_EQ(l_Warned.code, qvstatus::kMemoryFull);
}

TEST(Allocation, RecordMemoryFull) {
  JsonStatus l_Status;
  recordMemoryFull(l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kMemoryFull);
  ASSERT_NE(l_Status.json, nullptr);
  const std::string l_Text = l_Status.json;
  EXPECT_EQ(l_Text.find(R"({"error_constant":"qvkoraerr_memoryFull","file":")"), 0u);
  EXPECT_NE(l_Text.find(R"("component":"qvzelif"})"), std::string::npos);

  JsonStatus l_Failed;
  l_Failed.setCode(-52006);
  recordMemoryFull(l_Failed);
  EXPECT_EQ(l_Failed.code, -52006);
  EXPECT_EQ(l_Failed.json, nullptr);
}

}  // namespace
