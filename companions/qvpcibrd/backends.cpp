// SPDX-License-Identifier: LGPL-2.1-or-later
// Backend choice: the simulated system described by QVPCIBRD_SYSTEM when
// that variable names one, otherwise the running machine through sysfs. The
// build for real machines (QVPCIBRD_SYSFS_ONLY) has the second one only, so
// no variable can make an installed library answer from a description file.
#include <cstdlib>

#include "cSysfsBackend.h"
#include "iPciBrdBackend.h"
#ifndef QVPCIBRD_SYSFS_ONLY
#include "cSimBackend.h"
#endif

namespace qvpcibrd {

std::unique_ptr<iPciBrdBackend> createBackend() {
#ifndef QVPCIBRD_SYSFS_ONLY
  const char* l_pSystem = std::getenv(kSystemVariable);
  if (l_pSystem && *l_pSystem) return std::make_unique<cSimBackend>();
#endif
  return std::make_unique<cSysfsBackend>();
}

}  // namespace qvpcibrd
