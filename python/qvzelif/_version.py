# SPDX-License-Identifier: LGPL-2.1-or-later
"""The package's version: written by cmake/qvzelifVersion.cmake from the
project's version in CMakeLists.txt; do not edit."""
__version__ = "1.0.0"
