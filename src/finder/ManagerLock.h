// SPDX-License-Identifier: LGPL-2.1-or-later
// The manager mutex, set up when the library is loaded, and the lock that
// holds it for one operation.
#pragma once

#include "status/Status.h"

namespace nQVZEL_15_0 {

// Holds the manager mutex for the lifetime of the object, so that every path
// out of an operation, exceptional ones included, unlocks it.
class cManagerLock {
 public:
  cManagerLock();
  ~cManagerLock();
  cManagerLock(const cManagerLock&) = delete;
  cManagerLock& operator=(const cManagerLock&) = delete;

  // True when the registry may be used: the mutex is held, or there never
  // was a mutex (then no list was ever opened). Otherwise records -52003
  // into a_rStatus: no operation on the registry runs unguarded.
  bool guarded(Status& a_rStatus) const;
  bool guarded() const { return m_Guarded; }

 private:
  bool m_Locked;
  bool m_Guarded;
};

// The failure of the load-time mutex set-up, if any.
const Status& managerSetupStatus();

// For the library's unloading: takes the mutex when no other thread holds it
// (true), so that the caller can release what it guards. The mutex is then
// held for good and never unlocked: the unloading may be exit()'s, with other
// threads still running, and a thread waiting for the mutex or calling later
// must never run on what was released. A held mutex owns nothing to give back.
bool lockForUnload();

}  // namespace nQVZEL_15_0
