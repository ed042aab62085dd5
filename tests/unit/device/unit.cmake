add_dependencies(${l_Target} qvpcibrd)
