# SPDX-License-Identifier: LGPL-2.1-or-later
set(l_Sources qvdynlibTest.cpp)
add_dependencies(${l_Target} qvrelocations)
