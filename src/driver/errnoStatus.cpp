// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driver/errnoStatus.h"

#include "status/StatusCodes.h"

#include <array>
#include <cerrno>
#include <cstddef>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {

namespace {

using tErrnoTable = std::array<int32_t, kErrnoTableSize>;

// Built once at compile time: every number starts unclassified, the known
// ones are then named one by one.
constexpr tErrnoTable buildTable() {
  tErrnoTable l_Table{};
  for (int32_t& l_Code : l_Table) l_Code = qvstatus::kSystemError;
  l_Table[0] = qvstatus::kSuccess;
  l_Table[EPERM] = qvstatus::kPermissionDenied;
  l_Table[EACCES] = qvstatus::kPermissionDenied;
  l_Table[EROFS] = qvstatus::kPermissionDenied;
  l_Table[ENOENT] = qvstatus::kNotFound;
  l_Table[ESRCH] = qvstatus::kNotFound;
  l_Table[ENXIO] = qvstatus::kNotFound;
  l_Table[EBADF] = qvstatus::kNotFound;
  l_Table[ENODEV] = qvstatus::kNotFound;
  l_Table[EINTR] = qvstatus::kInterrupted;
  l_Table[ECONNRESET] = qvstatus::kInterrupted;
  l_Table[EIO] = qvstatus::kIoError;
  l_Table[EPIPE] = qvstatus::kIoError;
  l_Table[EBADMSG] = qvstatus::kIoError;
  l_Table[ENOMEM] = qvstatus::kMemoryFull;
  l_Table[ENFILE] = qvstatus::kMemoryFull;
  l_Table[EMFILE] = qvstatus::kMemoryFull;
  l_Table[EBUSY] = qvstatus::kBusy;
  l_Table[EEXIST] = qvstatus::kAlreadyExists;
  l_Table[EADDRINUSE] = qvstatus::kAlreadyExists;
  l_Table[EINVAL] = qvstatus::kInvalidParameter;
  l_Table[ENOTTY] = qvstatus::kNotSupported;
  l_Table[EOPNOTSUPP] = qvstatus::kNotSupported;
  l_Table[ENOSPC] = qvstatus::kOverflow;
  l_Table[EOVERFLOW] = qvstatus::kOverflow;
  l_Table[EDEADLK] = qvstatus::kDeadlock;
  l_Table[ENOLCK] = qvstatus::kDeadlock;
  l_Table[EIDRM] = qvstatus::kIdRemoved;
  l_Table[ECONNABORTED] = qvstatus::kConnectionAborted;
  l_Table[ENOBUFS] = qvstatus::kBufferTooSmall;
  l_Table[ETIMEDOUT] = qvstatus::kTimeout;
  l_Table[EALREADY] = qvstatus::kInProgress;
  l_Table[EINPROGRESS] = qvstatus::kInProgress;
  l_Table[EOWNERDEAD] = qvstatus::kOwnerDead;
  return l_Table;
}

constexpr tErrnoTable kErrnoTable = buildTable();

static_assert(EOWNERDEAD == kErrnoTableSize - 1, "the table ends with EOWNERDEAD");

}  // namespace

int32_t statusCodeFromErrno(int a_Errno) {
  if (a_Errno < 0 || a_Errno >= kErrnoTableSize) return qvstatus::kSystemError;
  return kErrnoTable[static_cast<size_t>(a_Errno)];
}

}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
