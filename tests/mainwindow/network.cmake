orvi_add_test(tst_networksettings ${CMAKE_CURRENT_LIST_DIR}/tst_networksettings.cpp)
