// SPDX-License-Identifier: LGPL-2.1-or-later
// Helpers that read the small files the kernel driver publishes under
// /proc/driver/qv/: open with retries, then one bounded read.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "status/Status.h"

namespace nQVZEL_15_0 {
namespace nQVKORA000 {
namespace linuxDevEnumHelper {

// Largest file content read in one go; longer files are seen truncated.
constexpr size_t kReadLimit = 4096;
// The driver may be busy rebuilding an entry, so an open is retried this often.
constexpr int kOpenAttempts = 10;

// Opens a_pPath read-only with close-on-exec, trying kOpenAttempts times.
// The open never waits (a FIFO put where a file belongs would otherwise hold
// the caller until a writer comes). Returns the descriptor, or -1 with -52006
// recorded.
int openWithRetries(const char* a_pPath, Status& a_rStatus);

// One read of up to kReadLimit bytes into a_pBuffer (which holds kReadLimit
// bytes). The driver publishes regular files only: anything else (a FIFO, a
// device, a directory) counts as a read error. Returns the byte count, or 0
// with -52024 recorded on a read error.
size_t readOnce(int a_Fd, char* a_pBuffer, Status& a_rStatus);

// Opens a_pPath, reads it once and closes it again.
size_t readFile(const char* a_pPath, char* a_pBuffer, Status& a_rStatus);

}  // namespace linuxDevEnumHelper
}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
