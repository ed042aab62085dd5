# SPDX-License-Identifier: LGPL-2.1-or-later
# The iterator runs against the simulated kernel driver in-process, through
# qvsim_support.
set(l_Sources
  DeviceInterfaceIteratorTest.cpp DeviceInterfaceProxyTest.cpp ErrnoStatusTest.cpp)
target_link_libraries(${l_Target} PRIVATE qvsim_support)
