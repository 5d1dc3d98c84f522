orvi_add_test(tst_sharedconfig ${CMAKE_CURRENT_LIST_DIR}/tst_sharedconfig.cpp)
