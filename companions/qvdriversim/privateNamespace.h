// SPDX-License-Identifier: LGPL-2.1-or-later
// Gives the calling process a driver tree of its own: a private mount
// namespace with an empty tmpfs over /proc/driver. The host's mounts are
// untouched and the tree vanishes with the process.
#pragma once

#include <string>

namespace nQvDriverSim_1_0 {

// Set to 1, the namespace is refused as on a machine that does not allow it.
constexpr const char* kRefuseVariable = "QVSIM_REFUSE_NAMESPACE";

// Enters the namespace (once per process; later calls only check it) and
// mounts the tmpfs. Needs CAP_SYS_ADMIN; false with the reason otherwise.
// Call it before the process starts threads: only the calling thread moves.
bool enterPrivateNamespace(std::string& a_rReason);

}  // namespace nQvDriverSim_1_0
