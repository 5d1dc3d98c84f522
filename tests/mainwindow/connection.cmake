orvi_add_test(tst_connection ${CMAKE_CURRENT_LIST_DIR}/tst_connection.cpp)
