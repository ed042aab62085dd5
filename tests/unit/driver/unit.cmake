# SPDX-License-Identifier: LGPL-2.1-or-later
# The driver tests run against the simulated kernel driver: in-process through
# qvsim_support, and through the runner with a probe program. The system file
# tests also read files through the simulated PCI bridge library.
target_link_libraries(${l_Target} PRIVATE qvsim_support)
add_executable(qvsim_probe ${CMAKE_CURRENT_LIST_DIR}/probe/DriverProbe.cpp)
target_link_libraries(qvsim_probe PRIVATE qvzelif_core)
add_dependencies(${l_Target} qvsim-run qvsim_probe qvpcibrd)
