# The fake "openvpn.exe" is a shell script, and the end-to-end test drives the system's OpenVPN on a tun device.
if(UNIX)
    orvi_add_test(tst_cvpnproc ${CMAKE_CURRENT_LIST_DIR}/tst_cvpnproc.cpp)
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    orvi_add_test(tst_openvpn_e2e ${CMAKE_CURRENT_LIST_DIR}/tst_openvpn_e2e.cpp)
    set_tests_properties(tst_openvpn_e2e PROPERTIES TIMEOUT 180)
endif()
