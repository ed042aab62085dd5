// SPDX-License-Identifier: LGPL-2.1-or-later
// Allocation that reports failure through a status instead of throwing.
#pragma once

#include "status/JsonStatus.h"
#include "status/Status.h"

#include <cstddef>

// Non-throwing array new; records -52000 and returns null on failure. Does
// nothing (null) when the status already holds an error. Free with delete[]
// on a char pointer.
void* allocateArray(size_t a_Size, Status& a_rStatus);
// Non-throwing single-object new; same rules. Free with operator delete.
void* allocateObject(size_t a_Size, Status& a_rStatus);
// Records -52000 with the error constant "qvkoraerr_memoryFull".
void recordMemoryFull(JsonStatus& a_rStatus);
