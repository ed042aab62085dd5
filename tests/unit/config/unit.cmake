# SPDX-License-Identifier: LGPL-2.1-or-later
add_dependencies(${l_Target} qvrelocations)
