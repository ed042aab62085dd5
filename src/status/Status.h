// SPDX-License-Identifier: LGPL-2.1-or-later
// Status: the fixed-size status record carried by every finder call.
// The first failure wins; an error displaces an earlier warning.
#pragma once

#include <cstddef>
#include <cstdint>

// By bare name: the image module's and the slot path's users reach this
// folder as an include root of its own, without src/ (target
// qvzelif_status_objects).
#include "StatusCodes.h"

struct Status {
  static constexpr uint64_t kFullCapacity = 216;
  static constexpr size_t kComponentSize = 10;
  static constexpr size_t kFileSize = 101;
  static constexpr size_t kDetailCount = 10;

  uint64_t capacity;
  int64_t code;
  char component[kComponentSize];
  char file[kFileSize];
  uint64_t line;
  uint64_t details[kDetailCount];

  // Initialises the record as its creator does: capacity 216, everything empty.
  Status();

  // Records a failure or warning under the first-failure rule; true when the
  // record changed.
  bool set(int64_t a_Code, const char* a_pComponent, const char* a_pFile, uint64_t a_Line);
  // Folds another record in; true when this record changed.
  bool merge(const Status& a_rOther);
  // Back to success.
  void clear();

  bool isFatal() const { return code < 0; }
  bool isNotFatal() const { return code >= 0; }
  int32_t result() const { return static_cast<int32_t>(code); }
};

static_assert(sizeof(Status) == 216, "Status must be 216 bytes");
static_assert(offsetof(Status, capacity) == 0, "Status layout");
static_assert(offsetof(Status, code) == 8, "Status layout");
static_assert(offsetof(Status, component) == 16, "Status layout");
static_assert(offsetof(Status, file) == 26, "Status layout");
static_assert(offsetof(Status, line) == 128, "Status layout");
static_assert(offsetof(Status, details) == 136, "Status layout");

// Records a failure at the calling site, with this library's component name.
#define QVZ_SET_STATUS(a_rStatus, a_Code) \
  (a_rStatus).set((a_Code), ::qvstatus::kComponent, __FILE__, __LINE__)
