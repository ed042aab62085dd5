// SPDX-License-Identifier: LGPL-2.1-or-later
// Unloading with lists or device sessions still open must give back their
// driver files, bridge sessions and memory; exit() must give back nothing,
// since other threads may still be inside a call and the process's end
// releases everything anyway.
//
// The two are told apart by order where the order allows it. When the
// library was loaded with dlopen(), exit() runs the static objects'
// destructors among its exit handlers before the loader runs any library's
// destructor functions, so the sentinel below has already run; dlclose()
// runs the destructor functions first. A library the program was linked
// with has its destructor functions run first at exit() too, so the release
// must also be safe with other threads still running: it happens only when
// no thread is inside a call (lockForUnload), and the mutex then stays held
// for good, so no thread waiting for it or calling later ever runs on what
// was released.
#include <atomic>

#include "config/StandardPaths.h"
#include "finder/ManagerLock.h"
#include "finder/cSessionManager.h"

namespace nQVZEL_15_0 {
namespace {

std::atomic<bool> g_Exiting{false};

struct sExitSentinel {
  ~sExitSentinel() { g_Exiting.store(true); }
};
sExitSentinel g_ExitSentinel;

__attribute__((destructor)) void releaseOnUnload() {
  if (g_Exiting.load()) return;
  // dlclose() while another thread is inside a call is the caller's fault;
  // the call keeps what it uses rather than having it freed under it.
  if (!lockForUnload()) return;
  try {
    cSessionManager::releaseAll();
  } catch (...) {
    // Releasing allocates nothing; nothing to report to anyone anyway.
  }
  StandardPaths::releaseInstance();
}

}  // namespace
}  // namespace nQVZEL_15_0
