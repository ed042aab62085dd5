// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/ManagerLock.h"

#include <pthread.h>
#include <sched.h>

#include <cstring>

namespace nQVZEL_15_0 {
namespace {

// Attempts to take the mutex without blocking before a thread blocks on it.
constexpr int kTryLockAttempts = 50;

// Set up when the library is loaded; torn down when the process exits.
struct sManagerMutex {
  Status m_SetupStatus;
  pthread_mutex_t m_Mutex;
  bool m_Initialised;

  sManagerMutex() : m_Initialised(false) {
    std::memset(&m_Mutex, 0, sizeof(m_Mutex));
    if (m_SetupStatus.isFatal()) return;
    pthread_mutexattr_t l_Attributes;
    if (pthread_mutexattr_init(&l_Attributes) != 0) {
      QVZ_SET_STATUS(m_SetupStatus, qvstatus::kInternal);
      return;
    }
    bool l_Ok = pthread_mutexattr_settype(&l_Attributes, PTHREAD_MUTEX_RECURSIVE) == 0;
    // Priority inheritance is wished for, not required: its result is ignored.
    (void)pthread_mutexattr_setprotocol(&l_Attributes, PTHREAD_PRIO_INHERIT);
    l_Ok = l_Ok && pthread_mutex_init(&m_Mutex, &l_Attributes) == 0;
    pthread_mutexattr_destroy(&l_Attributes);
    if (!l_Ok) {
      QVZ_SET_STATUS(m_SetupStatus, qvstatus::kInternal);
      return;
    }
    m_Initialised = true;
  }

  ~sManagerMutex() {
    if (m_Initialised) {
      pthread_mutex_destroy(&m_Mutex);
      m_Initialised = false;
    }
  }
};

sManagerMutex g_ManagerMutex;

}  // namespace

cManagerLock::cManagerLock() : m_Locked(false) {
  // Without a mutex no list can ever be opened, so there is nothing to guard.
  if (!g_ManagerMutex.m_Initialised) return;
  // A priority-inheriting mutex that has a blocked waiter is handed over in
  // the kernel at every unlock, one context switch per call: two to eight
  // threads reading attributes on two cores fell to a few percent of one
  // thread's rate. Attempts first, giving the processor to the holder between
  // them, let short operations pass without anyone blocking (with as many
  // threads as cores the yield returns at once, hence fifty of them); a
  // thread that still finds the mutex taken blocks, with priority
  // inheritance, as before.
  for (int l_Attempt = 0; l_Attempt < kTryLockAttempts; ++l_Attempt) {
    if (pthread_mutex_trylock(&g_ManagerMutex.m_Mutex) == 0) {
      m_Locked = true;
      return;
    }
    sched_yield();
  }
  m_Locked = pthread_mutex_lock(&g_ManagerMutex.m_Mutex) == 0;
}

cManagerLock::~cManagerLock() {
  if (m_Locked) pthread_mutex_unlock(&g_ManagerMutex.m_Mutex);
}

const Status& managerSetupStatus() { return g_ManagerMutex.m_SetupStatus; }

}  // namespace nQVZEL_15_0
