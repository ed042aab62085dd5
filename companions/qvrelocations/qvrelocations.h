// SPDX-License-Identifier: LGPL-2.1-or-later
/* qvrelocations.h - interface of the relocation library libqvrelocations.so.0
 *
 * Tells where an installation directory was moved to. A directory named
 * NAME is relocated when the environment variable QVRELOC_<NAME> (NAME in
 * upper case, e.g. QVRELOC_SHAREDSTATEDIR) holds a non-empty path. The
 * variable QVRELOC_FAIL may hold a comma-separated list of names whose query
 * fails, so that callers can be tested against a failing library.
 */
#ifndef QVRELOCATIONS_H
#define QVRELOCATIONS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the relocated path of directory a_pName, NUL-terminated, into
 * a_pBuffer (a_Size bytes) and returns its length (greater than 0). Returns 0
 * when the directory is not relocated, and a negative value when the query
 * fails: bad arguments, a path that does not fit, or a name listed in
 * QVRELOC_FAIL. */
__attribute__((visibility("default"))) int32_t get_relocated_dir(const char* a_pName,
                                                                 char* a_pBuffer, int32_t a_Size);

#ifdef __cplusplus
}
#endif

#endif /* QVRELOCATIONS_H */
