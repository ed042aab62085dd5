// SPDX-License-Identifier: LGPL-2.1-or-later
// Copies between the simulated driver and the requesting process's memory the
// way a kernel driver does: a bad address is reported, never dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nQvDriverSim_1_0 {

bool copyFromCaller(void* a_pTo, uint64_t a_From, size_t a_Size);
bool copyToCaller(uint64_t a_To, const void* a_pFrom, size_t a_Size);

}  // namespace nQvDriverSim_1_0
