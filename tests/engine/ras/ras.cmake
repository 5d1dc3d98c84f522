# The dialer and the window's RAS operations over a scripted remote access service.
orvi_add_test(tst_rasconnection ${CMAKE_CURRENT_LIST_DIR}/tst_rasconnection.cpp)
# Without Windows RAS the platform backend is the stand-in, whose refusal is checked as well.
target_compile_definitions(tst_rasconnection PRIVATE ORVI_RAS_STANDIN=$<NOT:$<BOOL:${WIN32}>>)

