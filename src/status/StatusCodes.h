// SPDX-License-Identifier: LGPL-2.1-or-later
// The library's status codes. Every code used inside the library is named here
// (the public ones come from the public header); no bare code numbers elsewhere.
#pragma once

#include "qvzelif.h"

#include <cstdint>

namespace qvstatus {

constexpr int32_t kSuccess = QVZEL_SUCCESS;
constexpr int32_t kMemoryFull = QVZEL_ERR_MEMORY_FULL;
constexpr int32_t kNotSupported = QVZEL_ERR_NOT_SUPPORTED;
constexpr int32_t kInternal = QVZEL_ERR_INTERNAL;
constexpr int32_t kInvalidParameter = QVZEL_ERR_INVALID_PARAMETER;
constexpr int32_t kNotFound = QVZEL_ERR_NOT_FOUND;
constexpr int32_t kTimeout = QVZEL_ERR_TIMEOUT;
constexpr int32_t kSystemError = QVZEL_ERR_SYSTEM;
constexpr int32_t kInProgress = QVZEL_ERR_IN_PROGRESS;
constexpr int32_t kOverflow = QVZEL_ERR_OVERFLOW;
constexpr int32_t kAlreadyExists = QVZEL_ERR_ALREADY_EXISTS;
constexpr int32_t kOwnerDead = QVZEL_ERR_OWNER_DEAD;
constexpr int32_t kDeadlock = QVZEL_ERR_DEADLOCK;
constexpr int32_t kBufferTooSmall = QVZEL_ERR_BUFFER_TOO_SMALL;
constexpr int32_t kIdRemoved = QVZEL_ERR_ID_REMOVED;
constexpr int32_t kConnectionAborted = QVZEL_ERR_CONNECTION_ABORTED;
constexpr int32_t kIoError = QVZEL_ERR_IO;
constexpr int32_t kInterrupted = QVZEL_ERR_INTERRUPTED;
constexpr int32_t kPermissionDenied = QVZEL_ERR_PERMISSION_DENIED;
constexpr int32_t kBusy = QVZEL_ERR_BUSY;

constexpr int32_t kPciBrdBufferTooSmall = QVZEL_ERR_PCIBRD_BUFFER_TOO_SMALL;
constexpr int32_t kPciBrdAttrNotServed = QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED;
constexpr int32_t kPciBrdUnavailable = QVZEL_ERR_PCIBRD_UNAVAILABLE;

constexpr int32_t kIniCreate = QVZEL_ERR_INI_CREATE;
constexpr int32_t kIniPath = QVZEL_ERR_INI_PATH;
constexpr int32_t kIniLoad = QVZEL_ERR_INI_LOAD;
constexpr int32_t kIniNoDocument = QVZEL_ERR_INI_NO_DOCUMENT;
constexpr int32_t kIniReadOnly = QVZEL_ERR_INI_READ_ONLY;
constexpr int32_t kIniWrite = QVZEL_ERR_INI_WRITE;
constexpr int32_t kIniRead = QVZEL_ERR_INI_READ;
constexpr int32_t kIniSection = QVZEL_ERR_INI_SECTION;
constexpr int32_t kIniKeyMissing = QVZEL_ERR_INI_KEY_MISSING;
constexpr int32_t kIniConversion = QVZEL_ERR_INI_CONVERSION;
constexpr int32_t kSlotPathEmpty = QVZEL_ERR_SLOTPATH_EMPTY;
constexpr int32_t kSlotPathSyntax = QVZEL_ERR_SLOTPATH_SYNTAX;
constexpr int32_t kIniChangeQuery = QVZEL_ERR_INI_CHANGE_QUERY;

// The component every failure of this library is recorded under.
constexpr const char* kComponent = "qvzelif";

}  // namespace qvstatus
