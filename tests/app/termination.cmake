orvi_add_test(tst_termination ${CMAKE_CURRENT_LIST_DIR}/tst_termination.cpp)
target_compile_definitions(tst_termination PRIVATE ORVI_EXECUTABLE="$<TARGET_FILE:orvi-dudaru>")
add_dependencies(tst_termination orvi-dudaru)
