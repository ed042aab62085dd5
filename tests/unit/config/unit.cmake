# SPDX-License-Identifier: LGPL-2.1-or-later
set(l_Sources
  IniFileTest.cpp IniLoadTest.cpp IniLookupModelTest.cpp IniSaveTest.cpp SlotPathTest.cpp
  StandardPathsTest.cpp)
add_dependencies(${l_Target} qvrelocations)
