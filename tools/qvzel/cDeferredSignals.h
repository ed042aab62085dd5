// SPDX-License-Identifier: LGPL-2.1-or-later
// cDeferredSignals: while one is alive, SIGINT, SIGTERM and SIGHUP do not end
// the process; the first one that arrives is remembered, and a line on
// stderr says that it takes effect once the running step is done. The
// firmware write uses it, so that an interrupt never leaves the user
// guessing whether the card got its image.
#pragma once

#include <csignal>

namespace nQvzelTool {

class cDeferredSignals {
 public:
  // Installs the handlers; a_pNotice is written to stderr (by the handler,
  // with write(2)) when a signal arrives.
  explicit cDeferredSignals(const char* a_pNotice);
  // Puts the previous handlers back; a signal that arrived is not raised
  // again (the caller reports it, see caught()).
  ~cDeferredSignals();
  cDeferredSignals(const cDeferredSignals&) = delete;
  cDeferredSignals& operator=(const cDeferredSignals&) = delete;

  // The first signal that arrived meanwhile, or 0.
  int caught() const;

  // "SIGINT", "SIGTERM", "SIGHUP" or "a signal".
  static const char* name(int a_Signal);

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction m_Previous[sizeof(kSignals) / sizeof(kSignals[0])];
};

}  // namespace nQvzelTool
