add_dependencies(${l_Target} qvpcibrd qvpcibrd_missing_entry qvpcibrd_null_entry)
