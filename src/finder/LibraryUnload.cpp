// SPDX-License-Identifier: LGPL-2.1-or-later
// Unloading with lists or device sessions still open must give back their
// driver files, bridge sessions and memory; exit() must give back nothing,
// since other threads may still be inside a call and the process's end
// releases everything anyway.
//
// The two are told apart by order. A static object's destructor is run by
// exit() among the exit handlers, before the loader runs any library's
// destructor functions; when the library is unloaded, its destructor
// functions run first and the static objects' destructors after them. So
// the sentinel below has already run at exit() when releaseOnUnload runs,
// and has not when dlclose() runs it.
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
  destroyManagerMutex();
}

}  // namespace
}  // namespace nQVZEL_15_0
