// Backend choice: the simulated system described by QVPCIBRD_SYSTEM. Without
// that variable the simulated backend answers an empty tree.
#include "cSimBackend.h"
#include "iPciBrdBackend.h"

namespace qvpcibrd {

std::unique_ptr<iPciBrdBackend> createBackend() { return std::make_unique<cSimBackend>(); }

}  // namespace qvpcibrd
