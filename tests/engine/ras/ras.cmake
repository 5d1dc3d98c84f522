# The dialer and the window's RAS operations over a scripted remote access service.
orvi_add_test(tst_rasconnection ${CMAKE_CURRENT_LIST_DIR}/tst_rasconnection.cpp)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # The same through NetworkManager: python3-dbusmock's on a private bus, and once the real one.
    orvi_add_test(tst_networkmanager ${CMAKE_CURRENT_LIST_DIR}/tst_networkmanager.cpp)
    set_tests_properties(tst_networkmanager PROPERTIES TIMEOUT 240)
endif()
