orvi_add_test(tst_shell ${CMAKE_CURRENT_LIST_DIR}/tst_shell.cpp)
