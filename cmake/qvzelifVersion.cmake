# SPDX-License-Identifier: LGPL-2.1-or-later
# The project's version is typed once, in project() of the root
# CMakeLists.txt. This file hands it on:
# - the man pages: docs/qvzel.1 and docs/pxicontrollers.ini.5 carry
#   @PROJECT_VERSION@ in their .TH line and are configured into
#   ${QVZ_MAN_DIR}, from where they are installed;
# - the Python package: python/qvzelif/_version.py, which pyproject.toml
#   reads as the package's dynamic version. python/ is built on its own (pip
#   from a copy of the folder, pybuild in the Debian build), so the file is
#   committed; configuring rewrites it only when its text differs from the
#   project version, so a bumped version shows up as a change to commit, and
#   the Debian build, which configures CMake before pybuild runs, packages
#   this version in any case. Nothing is written while the version stands.
# - a test that debian/changelog's top entry and the Ansible collection
#   carry the same version.
# Run with -P (as that test does), the file checks those two instead.

# Given a file and a regular expression whose group number `group` is a
# version, reports a mismatch of its first matching line with QVZ_VERSION.
function(qvz_check_version file pattern group what)
  file(STRINGS ${file} lines REGEX "${pattern}" LIMIT_COUNT 1)
  if(NOT lines MATCHES "${pattern}")
    message(SEND_ERROR "${file}: no ${what} found")
  elseif(NOT CMAKE_MATCH_${group} STREQUAL QVZ_VERSION)
    message(SEND_ERROR "${file}: ${what} is ${CMAKE_MATCH_${group}}, but the project's version is "
                       "${QVZ_VERSION} (project() in CMakeLists.txt)")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  # The top entry's version without epoch and Debian revision: a native
  # package has none, a non-native one appends -N to the upstream version.
  qvz_check_version(${QVZ_SOURCE_DIR}/debian/changelog
                    "^[a-z0-9][a-z0-9.+-]* \\(([0-9]+:)?([^)-]+)(-[^)]*)?\\)" 2
                    "the top entry's version")
  qvz_check_version(${QVZ_SOURCE_DIR}/integrations/ansible/galaxy.yml
                    "^version: *([^ ]+)$" 1
                    "the collection's version")
  return()
endif()

set(QVZ_MAN_DIR ${PROJECT_BINARY_DIR}/man)
foreach(page qvzel.1 pxicontrollers.ini.5)
  configure_file(${PROJECT_SOURCE_DIR}/docs/${page} ${QVZ_MAN_DIR}/${page} @ONLY)
endforeach()

set(QVZ_PYTHON_VERSION_FILE ${PROJECT_SOURCE_DIR}/python/qvzelif/_version.py)
set(QVZ_PYTHON_VERSION_TEXT "# SPDX-License-Identifier: LGPL-2.1-or-later
\"\"\"The package's version: written by cmake/qvzelifVersion.cmake from the
project's version in CMakeLists.txt; do not edit.\"\"\"
__version__ = \"${PROJECT_VERSION}\"
")
set(QVZ_PYTHON_VERSION_OLD "")
if(EXISTS ${QVZ_PYTHON_VERSION_FILE})
  file(READ ${QVZ_PYTHON_VERSION_FILE} QVZ_PYTHON_VERSION_OLD)
endif()
if(NOT QVZ_PYTHON_VERSION_OLD STREQUAL QVZ_PYTHON_VERSION_TEXT)
  file(WRITE ${QVZ_PYTHON_VERSION_FILE} "${QVZ_PYTHON_VERSION_TEXT}")
  message(STATUS "python/qvzelif/_version.py now says ${PROJECT_VERSION}: commit it")
endif()

if(QVZ_BUILD_TESTS)
  add_test(NAME version.sources
    COMMAND ${CMAKE_COMMAND} -DQVZ_VERSION=${PROJECT_VERSION} -DQVZ_SOURCE_DIR=${PROJECT_SOURCE_DIR}
            -P ${CMAKE_CURRENT_LIST_FILE})
endif()
