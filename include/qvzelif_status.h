// SPDX-License-Identifier: LGPL-2.1-or-later
/* qvzelif_status.h - names and sentences for the status codes of libqvzelif
 *
 * Header only: every function here is static inline, so including it adds no
 * symbol to a program and none to the library. C and C++ clients alike use
 * it to print a status code as its symbolic name and a sentence:
 *
 *   int32_t l_Code = nQVPXIFINDER100_openList(&count, &list);
 *   if (l_Code != QVZEL_SUCCESS)
 *     fprintf(stderr, "%d %s: %s\n", l_Code, qvzel_status_name(l_Code),
 *             qvzel_status_text(l_Code));
 */
#ifndef QVZELIF_STATUS_H
#define QVZELIF_STATUS_H

#include <stddef.h>
#include <stdint.h>

#include "qvzelif.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One row of the table: the code, the name of its constant in qvzelif.h and a
 * sentence for users. */
typedef struct qvzel_status_entry {
  int32_t code;
  const char* name;
  const char* text;
} qvzel_status_entry;

/* The whole table; stores its number of rows where count points (when not
 * null). */
static inline const qvzel_status_entry* qvzel_status_table(size_t* count) {
  static const qvzel_status_entry kTable[] = {
      {QVZEL_SUCCESS, "QVZEL_SUCCESS", "The operation succeeded."},
      {QVZEL_ERR_MEMORY_FULL, "QVZEL_ERR_MEMORY_FULL",
       "The system ran out of memory or of file descriptors."},
      {QVZEL_ERR_NOT_SUPPORTED, "QVZEL_ERR_NOT_SUPPORTED",
       "The operation is not supported, or the value asked for is empty for this device."},
      {QVZEL_ERR_INTERNAL, "QVZEL_ERR_INTERNAL",
       "An internal failure: a required object or system facility is missing or failed; "
       "a firmware update also reports a firmware image whose decoded byte count or checksum "
       "does not match its header with this code."},
      {QVZEL_ERR_INVALID_PARAMETER, "QVZEL_ERR_INVALID_PARAMETER",
       "Invalid parameter: a null pointer, an unknown handle, an item of the wrong kind or a "
       "refused value; opening a list also reports a missing PCI bridge library "
       "(libqvpcibrd.so.1) with this code."},
      {QVZEL_ERR_NOT_FOUND, "QVZEL_ERR_NOT_FOUND", "Not found, or no such device."},
      {QVZEL_ERR_TIMEOUT, "QVZEL_ERR_TIMEOUT", "The operation timed out."},
      {QVZEL_ERR_SYSTEM, "QVZEL_ERR_SYSTEM",
       "An unclassified system error, or a path name the path table does not know."},
      {QVZEL_ERR_IN_PROGRESS, "QVZEL_ERR_IN_PROGRESS", "The operation is already in progress."},
      {QVZEL_ERR_OVERFLOW, "QVZEL_ERR_OVERFLOW",
       "No space left, a value overflowed, or an expected text is missing."},
      {QVZEL_ERR_ALREADY_EXISTS, "QVZEL_ERR_ALREADY_EXISTS", "The object already exists."},
      {QVZEL_ERR_OWNER_DEAD, "QVZEL_ERR_OWNER_DEAD", "The owner of a lock died."},
      {QVZEL_ERR_DEADLOCK, "QVZEL_ERR_DEADLOCK", "No lock is available, or a deadlock was found."},
      {QVZEL_ERR_BUFFER_TOO_SMALL, "QVZEL_ERR_BUFFER_TOO_SMALL",
       "A buffer is too small for the value."},
      {QVZEL_ERR_ID_REMOVED, "QVZEL_ERR_ID_REMOVED", "The identifier was removed."},
      {QVZEL_ERR_CONNECTION_ABORTED, "QVZEL_ERR_CONNECTION_ABORTED", "The connection was aborted."},
      {QVZEL_ERR_IO, "QVZEL_ERR_IO", "An input/output error occurred."},
      {QVZEL_ERR_INTERRUPTED, "QVZEL_ERR_INTERRUPTED", "The operation was interrupted."},
      {QVZEL_ERR_PERMISSION_DENIED, "QVZEL_ERR_PERMISSION_DENIED", "Permission denied."},
      {QVZEL_ERR_BUSY, "QVZEL_ERR_BUSY", "The device or resource is busy."},
      {QVZEL_ERR_PCIBRD_BUFFER_TOO_SMALL, "QVZEL_ERR_PCIBRD_BUFFER_TOO_SMALL",
       "The PCI bridge library found the caller's buffer too small."},
      {QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED, "QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED",
       "The PCI bridge library does not serve this attribute."},
      {QVZEL_ERR_PCIBRD_UNAVAILABLE, "QVZEL_ERR_PCIBRD_UNAVAILABLE",
       "The PCI bridge library libqvpcibrd.so.1, or one of its entry points, is not available."},
      {QVZEL_ERR_INI_CREATE, "QVZEL_ERR_INI_CREATE", "An INI document cannot be created."},
      {QVZEL_ERR_INI_PATH, "QVZEL_ERR_INI_PATH", "The INI file path is missing or empty."},
      {QVZEL_ERR_INI_LOAD, "QVZEL_ERR_INI_LOAD", "The INI file cannot be loaded."},
      {QVZEL_ERR_INI_NO_DOCUMENT, "QVZEL_ERR_INI_NO_DOCUMENT", "No INI document is open."},
      {QVZEL_ERR_INI_READ_ONLY, "QVZEL_ERR_INI_READ_ONLY",
       "A change was asked of an INI file opened read-only."},
      {QVZEL_ERR_INI_WRITE, "QVZEL_ERR_INI_WRITE",
       "An INI value could not be stored, or saving the file failed."},
      {QVZEL_ERR_INI_READ, "QVZEL_ERR_INI_READ", "Reading an INI value failed."},
      {QVZEL_ERR_INI_SECTION, "QVZEL_ERR_INI_SECTION",
       "An INI section could not be deleted or renamed."},
      {QVZEL_ERR_INI_KEY_MISSING, "QVZEL_ERR_INI_KEY_MISSING", "An INI key or section is missing."},
      {QVZEL_ERR_INI_CONVERSION, "QVZEL_ERR_INI_CONVERSION",
       "An INI text does not convert to a number."},
      {QVZEL_ERR_SLOTPATH_EMPTY, "QVZEL_ERR_SLOTPATH_EMPTY",
       "A slot path is empty where a device/function code was needed."},
      {QVZEL_ERR_SLOTPATH_SYNTAX, "QVZEL_ERR_SLOTPATH_SYNTAX",
       "A slot path text or relative pattern is malformed."},
      {QVZEL_ERR_INI_CHANGE_QUERY, "QVZEL_ERR_INI_CHANGE_QUERY",
       "An INI change query was made without a document."},
  };
  if (count != NULL) *count = sizeof(kTable) / sizeof(kTable[0]);
  return kTable;
}

/* The row of a code, or null when the code is not in the table. */
static inline const qvzel_status_entry* qvzel_status_find(int32_t code) {
  size_t l_Count = 0;
  const qvzel_status_entry* l_pTable = qvzel_status_table(&l_Count);
  size_t l_Index;
  for (l_Index = 0; l_Index < l_Count; ++l_Index) {
    if (l_pTable[l_Index].code == code) return &l_pTable[l_Index];
  }
  return NULL;
}

/* The symbolic name of a code; "QVZEL_ERR_UNKNOWN" or "QVZEL_WARN_UNKNOWN" for
 * codes the table does not hold. Never null. */
static inline const char* qvzel_status_name(int32_t code) {
  const qvzel_status_entry* l_pEntry = qvzel_status_find(code);
  if (l_pEntry != NULL) return l_pEntry->name;
  return code < 0 ? "QVZEL_ERR_UNKNOWN" : "QVZEL_WARN_UNKNOWN";
}

/* A sentence explaining a code. Never null. */
static inline const char* qvzel_status_text(int32_t code) {
  const qvzel_status_entry* l_pEntry = qvzel_status_find(code);
  if (l_pEntry != NULL) return l_pEntry->text;
  return code < 0 ? "An error this version of the library does not name."
                  : "A warning this version of the library does not name.";
}

#ifdef __cplusplus
}
#endif

#endif /* QVZELIF_STATUS_H */
