// SPDX-License-Identifier: LGPL-2.1-or-later
#include "platform/qvdynlib.h"

#include "status/StatusCodes.h"

namespace {

constexpr const char* kInvalidParameter = "qvkoraerr_invalidParameter";

// Appends {"api":"dlerror","string":message} as "internal_error" at the top
// level, then clears the loader's error state.
char* appendLoaderBlock(char* a_pPoint, JsonStatus& a_rStatus) {
  const char* l_pMessage = dlerror();
  if (a_pPoint) {
    a_pPoint = jsonz_enterObject(a_pPoint, "internal_error", a_rStatus.grower());
  }
  if (a_pPoint) a_pPoint = jsonz_addStringGrowing(a_pPoint, "api", "dlerror", a_rStatus.grower());
  if (a_pPoint) {
    a_pPoint = jsonz_addStringGrowing(a_pPoint, "string", l_pMessage ? l_pMessage : "",
                                      a_rStatus.grower());
  }
  a_pPoint = jsonz_leaveObject(a_pPoint);
  dlerror();
  return a_pPoint;
}

// Records -52005 and the details of a failed load or look-up: the object
// "qvdynlib_debug" {"debug": a_pDebug, a_pKey: a_pValue}, then the loader block.
void recordFailure(JsonStatus& a_rStatus, const ErrorSite& a_rSite, const char* a_pDebug,
                   const char* a_pKey, const char* a_pValue) {
  if (!a_rStatus.setCodeAt(qvstatus::kInvalidParameter, a_rSite)) {
    dlerror();
    return;
  }
  char* l_pPoint = a_rStatus.reserve(2);
  if (l_pPoint) l_pPoint = jsonz_enterObject(l_pPoint, "qvdynlib_debug", a_rStatus.grower());
  if (l_pPoint) l_pPoint = jsonz_addStringGrowing(l_pPoint, "debug", a_pDebug, a_rStatus.grower());
  if (l_pPoint) {
    l_pPoint =
        jsonz_addStringGrowing(l_pPoint, a_pKey, a_pValue ? a_pValue : "", a_rStatus.grower());
  }
  l_pPoint = jsonz_leaveObject(l_pPoint);
  appendLoaderBlock(l_pPoint, a_rStatus);
}

}  // namespace

void* qvdynlib_load(const char* a_pPath, int32_t a_Flags, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return nullptr;
  // A null path would hand back the main program instead of a library.
  void* l_pHandle = a_pPath ? dlopen(a_pPath, a_Flags) : nullptr;
  if (l_pHandle) return l_pHandle;
  recordFailure(a_rStatus, QVZ_ERROR_SITE(kInvalidParameter), "failed to qvdynlib_load library",
                "path", a_pPath);
  return nullptr;
}

void* qvdynlib_getSymbol(void* a_pHandle, const char* a_pName, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return nullptr;
  // A null handle would search the whole process (RTLD_DEFAULT) instead of
  // the library, so it is refused like a missing symbol.
  void* l_pSymbol = a_pHandle && a_pName ? dlsym(a_pHandle, a_pName) : nullptr;
  if (l_pSymbol) return l_pSymbol;
  recordFailure(a_rStatus, QVZ_ERROR_SITE(kInvalidParameter), "failed to get symbol",
                "qvdynlib_symbol", a_pName);
  return nullptr;
}

int32_t qvdynlib_unload(void* a_pHandle) {
  // dlclose has no defined behaviour for a null handle.
  return a_pHandle ? dlclose(a_pHandle) : -1;
}
