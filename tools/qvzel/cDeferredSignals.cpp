// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cDeferredSignals.h"

#include <unistd.h>

#include <cstring>

namespace nQvzelTool {

namespace {

volatile sig_atomic_t g_Caught = 0;
const char* g_pNotice = "";
size_t g_NoticeLength = 0;

extern "C" void deferSignal(int a_Signal) {
  if (g_Caught != 0) return;
  g_Caught = a_Signal;
  // Only async-signal-safe calls here: one write of a text prepared before.
  const ssize_t l_Ignored = write(STDERR_FILENO, g_pNotice, g_NoticeLength);
  (void)l_Ignored;
}

}  // namespace

constexpr int cDeferredSignals::kSignals[];

cDeferredSignals::cDeferredSignals(const char* a_pNotice) {
  g_Caught = 0;
  g_pNotice = a_pNotice;
  g_NoticeLength = std::strlen(a_pNotice);
  struct sigaction l_Action;
  std::memset(&l_Action, 0, sizeof(l_Action));
  l_Action.sa_handler = deferSignal;
  sigemptyset(&l_Action.sa_mask);
  for (const int l_Signal : kSignals) sigaddset(&l_Action.sa_mask, l_Signal);
  // Restarted system calls: the library's blocking driver request must not
  // come back early with EINTR because of a deferred signal.
  l_Action.sa_flags = SA_RESTART;
  for (size_t l_Index = 0; l_Index < sizeof(kSignals) / sizeof(kSignals[0]); ++l_Index) {
    sigaction(kSignals[l_Index], &l_Action, &m_Previous[l_Index]);
  }
}

cDeferredSignals::~cDeferredSignals() {
  for (size_t l_Index = 0; l_Index < sizeof(kSignals) / sizeof(kSignals[0]); ++l_Index) {
    sigaction(kSignals[l_Index], &m_Previous[l_Index], nullptr);
  }
}

int cDeferredSignals::caught() const { return g_Caught; }

const char* cDeferredSignals::name(int a_Signal) {
  switch (a_Signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace nQvzelTool
