# The real executable, started as a user would.
if(UNIX)
    orvi_add_test(tst_startup ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp)
    target_compile_definitions(tst_startup PRIVATE ORVI_EXECUTABLE="$<TARGET_FILE:orvi-dudaru>"
                                                   ORVI_TEST_PLUGINS="${ORVI_TEST_PLUGINS}")
    add_dependencies(tst_startup orvi-dudaru orvi_uidriver)
endif()
