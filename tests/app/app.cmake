# The real executable, started as a user would.
if(UNIX)
    foreach(name tst_startup tst_userdatafolder)
        orvi_add_test(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
        target_compile_definitions(${name} PRIVATE ORVI_EXECUTABLE="$<TARGET_FILE:orvi-dudaru>"
                                                   ORVI_TEST_PLUGINS="${ORVI_TEST_PLUGINS}")
        add_dependencies(${name} orvi-dudaru orvi_uidriver)
    endforeach()
endif()
