# Compiles each of SOURCES (a |-separated list under SOURCE_DIR) with the Windows cross compiler
# COMPILER, syntax only, against the Qt headers in QT_HEADERS and the generated forms in FORMS_DIR.
# Run with cmake -P.
string(REPLACE "|" ";" sources "${SOURCES}")
set(flags -fsyntax-only -std=c++17 -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Werror
    -DWINVER=0x0601 -D_WIN32_WINNT=0x0601 -DUNICODE -D_UNICODE
    -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NETWORK_LIB
    "-DORVI_PUBLIC_IP_URL_DEFAULT=\"http://127.0.0.1/\"" "-DORVI_PUBLIC_IP_INFO_HOST_DEFAULT=\"localhost\""
    "-DORVI_PING_HOST_DEFAULT=\"localhost\"" "-DORVI_APP_ID=\"net.example.app\""
    -I${SOURCE_DIR} -I${FORMS_DIR} -isystem ${QT_HEADERS} -isystem ${QT_HEADERS}/QtCore
    -isystem ${QT_HEADERS}/QtGui -isystem ${QT_HEADERS}/QtWidgets -isystem ${QT_HEADERS}/QtNetwork)
set(broken "")
foreach(source IN LISTS sources)
    execute_process(COMMAND ${COMPILER} ${flags} ${SOURCE_DIR}/${source} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        list(APPEND broken ${source})
    endif()
endforeach()
if(broken)
    message(FATAL_ERROR "Not valid for Windows: ${broken}")
endif()
