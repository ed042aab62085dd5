// SPDX-License-Identifier: LGPL-2.1-or-later
// The one table that turns an operating-system error number (Linux numbering)
// into a status code; used for every driver call.
#pragma once

#include <cstdint>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

// Entries for error numbers 0 to 130; larger numbers are unclassified.
constexpr int kErrnoTableSize = 131;

// 0 for error number 0, the table's code for 1 to 130, -52008 otherwise
// (negative numbers included).
int32_t statusCodeFromErrno(int a_Errno);

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
