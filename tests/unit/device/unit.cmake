# SPDX-License-Identifier: LGPL-2.1-or-later
# The register proxy talks to the simulated kernel driver (qvsim_support);
# the controller device reads through the simulated PCI bridge library.
set(l_Sources
  ControllerDeviceTest.cpp Cyclone4UpstreamProxyTest.cpp ModelTableTest.cpp ZelDeviceTest.cpp)
target_link_libraries(${l_Target} PRIVATE qvsim_support)
add_dependencies(${l_Target} qvpcibrd)
