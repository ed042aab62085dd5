# SPDX-License-Identifier: LGPL-2.1-or-later
# Finds libb64 (Debian: libb64-dev) and provides the imported target b64::b64.
find_path(b64_INCLUDE_DIR b64/cdecode.h)
find_library(b64_LIBRARY NAMES b64)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(b64 REQUIRED_VARS b64_LIBRARY b64_INCLUDE_DIR)

if(b64_FOUND AND NOT TARGET b64::b64)
  add_library(b64::b64 UNKNOWN IMPORTED)
  set_target_properties(b64::b64 PROPERTIES
    IMPORTED_LOCATION "${b64_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${b64_INCLUDE_DIR}")
endif()
mark_as_advanced(b64_INCLUDE_DIR b64_LIBRARY)
