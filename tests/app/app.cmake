# The real executable, started as a user would.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    orvi_add_test(tst_startup ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp)
endif()
