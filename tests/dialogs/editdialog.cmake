orvi_add_test(tst_vpneditdialog ${CMAKE_CURRENT_LIST_DIR}/tst_vpneditdialog.cpp)
