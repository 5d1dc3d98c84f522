# Qt finds a tray host on the session bus only on X11, not offscreen: the test runs under Xvfb, on a session bus of
# its own that starts a stand-in StatusNotifierWatcher when Qt first asks for it.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()
find_program(ORVI_XVFB_RUN xvfb-run)
find_program(ORVI_DBUS_RUN_SESSION dbus-run-session)
find_program(ORVI_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORVI_XVFB_RUN AND ORVI_DBUS_RUN_SESSION AND ORVI_PYTHON3)
    set(ORVI_TRAY_HOST_SERVICES ${CMAKE_CURRENT_BINARY_DIR}/trayhost)
    file(WRITE ${ORVI_TRAY_HOST_SERVICES}/org.kde.StatusNotifierWatcher.service
         "[D-BUS Service]\nName=org.kde.StatusNotifierWatcher\n"
         "Exec=${ORVI_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/support/statusnotifierwatcher.py\n")
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/support/trayhost-bus.conf.in ${ORVI_TRAY_HOST_SERVICES}/bus.conf @ONLY)
    orvi_add_test(tst_shell ${CMAKE_CURRENT_LIST_DIR}/tst_shell.cpp
                  LAUNCHER ${ORVI_DBUS_RUN_SESSION} --config-file=${ORVI_TRAY_HOST_SERVICES}/bus.conf --
                           ${ORVI_XVFB_RUN} -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb)
    # libxkbcommon-x11 hands strndup() names that end at the bound rather than at a NUL, which is valid but which
    # AddressSanitizer's strict string checks read past.
    set_tests_properties(tst_shell PROPERTIES ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::strict_string_checks=0")
else()
    orvi_add_test(tst_shell ${CMAKE_CURRENT_LIST_DIR}/tst_shell.cpp
                  LAUNCHER sh -c "echo 'Skipped: a tray host needs xvfb-run (xvfb, xauth), dbus-run-session and python3'; exit 77")
    set_tests_properties(tst_shell PROPERTIES SKIP_RETURN_CODE 77)
endif()
