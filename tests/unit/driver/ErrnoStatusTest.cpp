// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driver/errnoStatus.h"
#include "status/StatusCodes.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using nQVZEL_15_0::nQVKORA000::statusCodeFromErrno;

// The mapped error numbers, written out by number so that a wrong constant in
// the table cannot hide behind the same wrong constant here.
const std::map<int, int32_t>& expectedMappings() {
  static const std::map<int, int32_t> s_Expected = {
      {0, qvstatus::kSuccess},
      {1, qvstatus::kPermissionDenied},
      {13, qvstatus::kPermissionDenied},
      {30, qvstatus::kPermissionDenied},
      {2, qvstatus::kNotFound},
      {3, qvstatus::kNotFound},
      {6, qvstatus::kNotFound},
      {9, qvstatus::kNotFound},
      {19, qvstatus::kNotFound},
      {4, qvstatus::kInterrupted},
      {104, qvstatus::kInterrupted},
      {5, qvstatus::kIoError},
      {32, qvstatus::kIoError},
      {74, qvstatus::kIoError},
      {12, qvstatus::kMemoryFull},
      {23, qvstatus::kMemoryFull},
      {24, qvstatus::kMemoryFull},
      {16, qvstatus::kBusy},
      {17, qvstatus::kAlreadyExists},
      {98, qvstatus::kAlreadyExists},
      {22, qvstatus::kInvalidParameter},
      {25, qvstatus::kNotSupported},
      {95, qvstatus::kNotSupported},
      {28, qvstatus::kOverflow},
      {75, qvstatus::kOverflow},
      {35, qvstatus::kDeadlock},
      {37, qvstatus::kDeadlock},
      {43, qvstatus::kIdRemoved},
      {103, qvstatus::kConnectionAborted},
      {105, qvstatus::kBufferTooSmall},
      {110, qvstatus::kTimeout},
      {114, qvstatus::kInProgress},
      {115, qvstatus::kInProgress},
      {130, qvstatus::kOwnerDead},
  };
  return s_Expected;
}

TEST(ErrnoStatus, EveryNumberOfTheTableAndBeyond) {
  for (int l_Errno = 0; l_Errno <= 300; ++l_Errno) {
    const auto l_Entry = expectedMappings().find(l_Errno);
    const int32_t l_Expected =
        l_Entry != expectedMappings().end() ? l_Entry->second : qvstatus::kSystemError;
    EXPECT_EQ(statusCodeFromErrno(l_Errno), l_Expected) << "errno " << l_Errno;
  }
}

TEST(ErrnoStatus, NumbersOutsideTheTableAreUnclassified) {
  EXPECT_EQ(qvstatus::kSystemError, -52008);
  EXPECT_EQ(statusCodeFromErrno(131), qvstatus::kSystemError);
  EXPECT_EQ(statusCodeFromErrno(-1), qvstatus::kSystemError);
  EXPECT_EQ(statusCodeFromErrno(1 << 30), qvstatus::kSystemError);
}

}  // namespace
