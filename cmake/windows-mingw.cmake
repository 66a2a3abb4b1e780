# Cross build for Windows x86-64 with Debian's mingw-w64 (posix threads, as the Qt kit was built).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/windows-mingw.cmake -DLECTORIA_QT_WINDOWS=<kit>/qt6-win64 ...
# The Qt kit is appended to the find root beside mingw's own folder; Qt's build-time tools (moc,
# rcc, uic) are the build machine's, from QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Passed on to try_compile's projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LECTORIA_QT_WINDOWS)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(LECTORIA_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${LECTORIA_QT_WINDOWS})
    list(APPEND CMAKE_PREFIX_PATH ${LECTORIA_QT_WINDOWS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT DEFINED QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
endif()
if(NOT DEFINED QT_HOST_PATH_CMAKE_DIR)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()

