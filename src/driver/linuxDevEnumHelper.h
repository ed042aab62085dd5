// Helpers that read the small files the kernel driver publishes under
// /proc/driver/qv/: open with retries, then one bounded read.
#pragma once

#include "status/Status.h"

#include <cstddef>
#include <sys/types.h>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {
namespace linuxDevEnumHelper {

// Largest file content read in one go; longer files are seen truncated.
constexpr size_t kReadLimit = 4096;
// The driver may be busy rebuilding an entry, so an open is retried this often.
constexpr int kOpenAttempts = 10;

// Opens a_pPath read-only with close-on-exec, trying kOpenAttempts times.
// Returns the descriptor, or -1 with -52006 recorded.
int openWithRetries(const char* a_pPath, Status& a_rStatus);

// One read of up to kReadLimit bytes into a_pBuffer (which holds kReadLimit
// bytes). Returns the byte count, or 0 with -52024 recorded on a read error.
size_t readOnce(int a_Fd, char* a_pBuffer, Status& a_rStatus);

}  // namespace linuxDevEnumHelper
}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
