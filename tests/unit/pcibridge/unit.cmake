# SPDX-License-Identifier: LGPL-2.1-or-later
# The binding against the simulated PCI bridge library and its test builds.
set(l_Sources PciBrdDynLibTest.cpp PciBrdWrapperTest.cpp)
add_dependencies(${l_Target} qvpcibrd qvpcibrd_missing_entry qvpcibrd_null_entry)
