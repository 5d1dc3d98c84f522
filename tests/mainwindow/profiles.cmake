orvi_add_test(tst_profiles ${CMAKE_CURRENT_LIST_DIR}/tst_profiles.cpp)
