// SPDX-License-Identifier: LGPL-2.1-or-later
/* qvpcibrdSim.h - what this build of libqvpcibrd.so.1 exports beyond the
 * bridge library's interface (qvpcibrd.h), for tests only. libqvzelif.so.1
 * never binds these.
 */
#ifndef QVPCIBRDSIM_H
#define QVPCIBRDSIM_H

#include "qvpcibrd.h"

#ifdef __cplusplus
extern "C" {
#endif

/* How often the named entry point (without its QvPciBrd_ prefix, e.g.
 * "GetRootBuses") was called since the library was loaded or the counters
 * were last reset. Tests use it to see which calls were made. */
QVPCIBRD_EXPORT uint32_t QvPciBrdSim_GetCallCount(const char* a_pEntryPoint);
QVPCIBRD_EXPORT void QvPciBrdSim_ResetCallCounts(void);
/* The number of sessions open right now. */
QVPCIBRD_EXPORT uint32_t QvPciBrdSim_GetSessionCount(void);

#ifdef __cplusplus
}
#endif

#endif /* QVPCIBRDSIM_H */
