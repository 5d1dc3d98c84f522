# The dialer and the window's RAS operations over a scripted remote access service.
orvi_add_test(tst_rasconnection ${CMAKE_CURRENT_LIST_DIR}/tst_rasconnection.cpp)
# Without Windows RAS the platform backend is the stand-in, whose refusal is checked as well.
target_compile_definitions(tst_rasconnection PRIVATE ORVI_RAS_STANDIN=$<NOT:$<BOOL:${WIN32}>>)

# The Windows backend checked against the real Windows headers, where a cross compiler is at hand.
find_program(ORVI_MINGW_CXX x86_64-w64-mingw32-g++)
if(ORVI_MINGW_CXX AND NOT WIN32)
    add_test(NAME tst_rasapi_win_syntax
             COMMAND ${ORVI_MINGW_CXX} -fsyntax-only -std=c++17 -DWINVER=0x0601 -D_WIN32_WINNT=0x0601
                     -DUNICODE -D_UNICODE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Werror
                     -I${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/engine/ras/rasapi_win.cpp)
endif()
