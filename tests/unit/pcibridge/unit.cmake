# SPDX-License-Identifier: LGPL-2.1-or-later
add_dependencies(${l_Target} qvpcibrd qvpcibrd_missing_entry qvpcibrd_null_entry)
target_compile_definitions(${l_Target} PRIVATE QVZ_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
