// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/ManagerLock.h"

#include <pthread.h>
#include <sched.h>

#include <cstring>
#include <new>

namespace nQVZEL_15_0 {
namespace {

// Attempts to take the mutex without blocking before a thread blocks on it.
constexpr int kTryLockAttempts = 50;

// Set up when the library is loaded and never destroyed: a thread still
// inside a call, or waiting for one, when another thread calls exit() must
// find the mutex intact. The library's unloading keeps it held for good
// (lockForUnload).
struct sManagerMutex {
  Status m_SetupStatus;
  pthread_mutex_t m_Mutex;
  bool m_Initialised;
  // Set when a forked child could not put a fresh mutex in place: the
  // inherited lists are then out of bounds.
  bool m_Lost;

  sManagerMutex() : m_Initialised(false), m_Lost(false) {
    if (m_SetupStatus.isFatal()) return;
    if (!initialise()) {
      QVZ_SET_STATUS(m_SetupStatus, qvstatus::kInternal);
      return;
    }
    m_Initialised = true;
  }

  // A fresh, unlocked mutex in m_Mutex: recursive, priority-inheriting when
  // the system allows it.
  bool initialise() {
    std::memset(&m_Mutex, 0, sizeof(m_Mutex));
    pthread_mutexattr_t l_Attributes;
    if (pthread_mutexattr_init(&l_Attributes) != 0) return false;
    bool l_Ok = pthread_mutexattr_settype(&l_Attributes, PTHREAD_MUTEX_RECURSIVE) == 0;
    // Priority inheritance is wished for, not required: its result is ignored.
    (void)pthread_mutexattr_setprotocol(&l_Attributes, PTHREAD_PRIO_INHERIT);
    l_Ok = l_Ok && pthread_mutex_init(&m_Mutex, &l_Attributes) == 0;
    pthread_mutexattr_destroy(&l_Attributes);
    return l_Ok;
  }
};

alignas(sManagerMutex) unsigned char g_MutexStorage[sizeof(sManagerMutex)];
// Placement-new into static storage: no destructor is registered for exit.
sManagerMutex* const g_pMutex = new (g_MutexStorage) sManagerMutex();

// fork() while another thread is inside a call: the child would inherit the
// mutex held by a thread that does not exist there, and with it a registry
// caught half-way through a change. Before fork() the forking thread takes
// the mutex, so fork() waits until no call is running; the parent then
// unlocks it. The child's copy is owned by a thread id the child does not
// have, so the child puts a fresh, unlocked mutex in its place, and keeps
// the registry as it was between two calls.
void beforeFork() {
  if (g_pMutex->m_Initialised) pthread_mutex_lock(&g_pMutex->m_Mutex);
}

void afterForkInParent() {
  if (g_pMutex->m_Initialised) pthread_mutex_unlock(&g_pMutex->m_Mutex);
}

void afterForkInChild() {
  if (!g_pMutex->m_Initialised) return;
  // The unlock fails (the mutex names the parent's thread as its owner) and
  // changes nothing; it tells a tool that tracks locks, such as the thread
  // sanitizer, that this thread no longer holds the inherited mutex.
  (void)pthread_mutex_unlock(&g_pMutex->m_Mutex);
  if (!g_pMutex->initialise()) {
    // Never expected (the same set-up succeeded at load); the child's calls
    // then answer -52003 instead of running unguarded.
    g_pMutex->m_Initialised = false;
    g_pMutex->m_Lost = true;
    QVZ_SET_STATUS(g_pMutex->m_SetupStatus, qvstatus::kInternal);
  }
}

struct sForkHandlers {
  sForkHandlers() {
    if (g_pMutex->m_Initialised &&
        pthread_atfork(beforeFork, afterForkInParent, afterForkInChild) != 0) {
      // Without the handlers a child could inherit a held mutex: refuse work.
      QVZ_SET_STATUS(g_pMutex->m_SetupStatus, qvstatus::kInternal);
    }
  }
};
// Trivially destructible: nothing is registered for exit.
const sForkHandlers g_ForkHandlers;

}  // namespace

cManagerLock::cManagerLock() : m_Locked(false), m_Guarded(false) {
  // Without a mutex from the start no list can ever be opened, so there is
  // nothing to guard.
  if (!g_pMutex->m_Initialised) {
    m_Guarded = !g_pMutex->m_Lost;
    return;
  }
  // A priority-inheriting mutex that has a blocked waiter is handed over in
  // the kernel at every unlock, one context switch per call: two to eight
  // threads reading attributes on two cores fell to a few percent of one
  // thread's rate. Attempts first, giving the processor to the holder between
  // them, let short operations pass without anyone blocking (with as many
  // threads as cores the yield returns at once, hence fifty of them); a
  // thread that still finds the mutex taken blocks, with priority
  // inheritance, as before.
  for (int l_Attempt = 0; l_Attempt < kTryLockAttempts; ++l_Attempt) {
    if (pthread_mutex_trylock(&g_pMutex->m_Mutex) == 0) {
      m_Locked = m_Guarded = true;
      return;
    }
    sched_yield();
  }
  m_Locked = m_Guarded = pthread_mutex_lock(&g_pMutex->m_Mutex) == 0;
}

cManagerLock::~cManagerLock() {
  if (m_Locked) pthread_mutex_unlock(&g_pMutex->m_Mutex);
}

bool cManagerLock::guarded(Status& a_rStatus) const {
  if (!m_Guarded) QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  return m_Guarded;
}

const Status& managerSetupStatus() { return g_pMutex->m_SetupStatus; }

bool lockForUnload() {
  return g_pMutex->m_Initialised && pthread_mutex_trylock(&g_pMutex->m_Mutex) == 0;
}

}  // namespace nQVZEL_15_0
