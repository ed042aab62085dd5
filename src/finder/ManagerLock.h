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

 private:
  bool m_Locked;
};

// The failure of the load-time mutex set-up, if any.
const Status& managerSetupStatus();

}  // namespace nQVZEL_15_0
