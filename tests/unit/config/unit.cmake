add_dependencies(${l_Target} qvrelocations)
