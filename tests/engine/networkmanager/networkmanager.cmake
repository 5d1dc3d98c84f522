# OpenVPN through NetworkManager: its importer for real against the mock, and the whole road through the real one.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    orvi_add_test(tst_networkmanageropenvpn ${CMAKE_CURRENT_LIST_DIR}/tst_networkmanageropenvpn.cpp)
    target_compile_definitions(tst_networkmanageropenvpn PRIVATE
        ORVI_IMPORTER="$<TARGET_FILE:orvi-dudaru-openvpn-import>")
    set_tests_properties(tst_networkmanageropenvpn PROPERTIES TIMEOUT 240)
endif()
