// Backend choice: the simulated system described by QVPCIBRD_SYSTEM when
// that variable names one, otherwise the running machine through sysfs.
#include <cstdlib>

#include "cSimBackend.h"
#include "cSysfsBackend.h"
#include "iPciBrdBackend.h"

namespace qvpcibrd {

std::unique_ptr<iPciBrdBackend> createBackend() {
  const char* l_pSystem = std::getenv(kSystemVariable);
  if (!l_pSystem || !*l_pSystem) return std::make_unique<cSysfsBackend>();
  return std::make_unique<cSimBackend>();
}

}  // namespace qvpcibrd
