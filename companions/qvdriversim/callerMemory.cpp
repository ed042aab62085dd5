// SPDX-License-Identifier: LGPL-2.1-or-later
#include "callerMemory.h"

#include <cerrno>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

namespace nQvDriverSim_1_0 {

namespace {

// The process reads and writes its own memory through the cross-process
// calls, which fail with EFAULT on unmapped addresses instead of crashing.
// Where those calls are unavailable the copy falls back to plain memcpy.
bool copyChecked(void* a_pLocal, void* a_pRemote, size_t a_Size, bool a_ToRemote) {
  if (a_Size == 0) return true;
  if (a_pRemote == nullptr) return false;
  struct iovec l_Local = {a_pLocal, a_Size};
  struct iovec l_Remote = {a_pRemote, a_Size};
  const ssize_t l_Done = a_ToRemote ? ::process_vm_writev(::getpid(), &l_Local, 1, &l_Remote, 1, 0)
                                    : ::process_vm_readv(::getpid(), &l_Local, 1, &l_Remote, 1, 0);
  if (l_Done == static_cast<ssize_t>(a_Size)) return true;
  if (l_Done == -1 && (errno == ENOSYS || errno == EPERM)) {
    if (a_ToRemote) {
      std::memcpy(a_pRemote, a_pLocal, a_Size);
    } else {
      std::memcpy(a_pLocal, a_pRemote, a_Size);
    }
    return true;
  }
  return false;
}

}  // namespace

bool copyFromCaller(void* a_pTo, uint64_t a_From, size_t a_Size) {
  return copyChecked(a_pTo, reinterpret_cast<void*>(static_cast<uintptr_t>(a_From)), a_Size, false);
}

bool copyToCaller(uint64_t a_To, const void* a_pFrom, size_t a_Size) {
  return copyChecked(const_cast<void*>(a_pFrom),
                     reinterpret_cast<void*>(static_cast<uintptr_t>(a_To)), a_Size, true);
}

}  // namespace nQvDriverSim_1_0
