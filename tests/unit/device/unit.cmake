# SPDX-License-Identifier: LGPL-2.1-or-later
add_dependencies(${l_Target} qvpcibrd)
# libb64 is the reference of the payload decoder.
target_link_libraries(${l_Target} PRIVATE b64::b64)
