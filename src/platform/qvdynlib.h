// SPDX-License-Identifier: LGPL-2.1-or-later
// qvdynlib_: the dynamic loader behind a status. A failed load or look-up
// becomes -52005 with details naming the library or symbol and the loader's
// own message, instead of an unexplained null pointer.
#pragma once

#include <dlfcn.h>

#include <cstdint>

#include "status/JsonStatus.h"

// The flags both companions are loaded with.
constexpr int32_t kQvDynLibFlags = RTLD_NOW | RTLD_GLOBAL;

// Loads a library; null (and the status set) on failure. Does nothing when
// the status already holds an error.
void* qvdynlib_load(const char* a_pPath, int32_t a_Flags, JsonStatus& a_rStatus);
// Looks up an entry point of a loaded library; null (and the status set) on
// failure. Does nothing when the status already holds an error.
void* qvdynlib_getSymbol(void* a_pHandle, const char* a_pName, JsonStatus& a_rStatus);
// Closes a library; returns dlclose's result.
int32_t qvdynlib_unload(void* a_pHandle);
