if(UNIX AND NOT APPLE)
    add_test(NAME tst_install
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_install.sh ${PROJECT_BINARY_DIR} ${ORVI_APP_ID})
    # Packing takes a while; ctest -LE package leaves it out.
    add_test(NAME tst_package
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_package.sh ${PROJECT_BINARY_DIR} ${ORVI_APP_ID})
    set_tests_properties(tst_install PROPERTIES LABELS tree)
    set_tests_properties(tst_package PROPERTIES LABELS "package;tree")
endif()
