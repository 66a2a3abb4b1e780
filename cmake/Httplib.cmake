# lectoria_httplib: cpp-httplib for the sample archive and the test servers. On Linux, Debian's
# libcpp-httplib-dev (declarations and a shared library); for Windows, the library's single header,
# which works alone (LECTORIA_HTTPLIB_DIR: the folder that holds httplib.h).
add_library(lectoria_httplib INTERFACE)
if(WIN32)
    set(LECTORIA_HTTPLIB_DIR "" CACHE PATH "Folder of cpp-httplib's single header httplib.h")
    if(NOT EXISTS "${LECTORIA_HTTPLIB_DIR}/httplib.h")
        message(FATAL_ERROR "LECTORIA_HTTPLIB_DIR must name the folder of cpp-httplib's httplib.h")
    endif()
    target_include_directories(lectoria_httplib SYSTEM INTERFACE ${LECTORIA_HTTPLIB_DIR})
    # Windows 10's socket API (inet_pton, ...), as the header expects.
    target_compile_definitions(lectoria_httplib INTERFACE _WIN32_WINNT=0x0A00)
    target_link_libraries(lectoria_httplib INTERFACE ws2_32 crypt32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
    target_link_libraries(lectoria_httplib INTERFACE PkgConfig::HTTPLIB)
endif()
