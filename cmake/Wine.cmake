# A cross build for Windows runs its tests under Wine: every test program, and the listing of its
# cases, goes through build-windows/wine-run, which puts the kit's Qt and mingw's runtime on
# WINEPATH. The prefix and the display come from the caller (scripts/windows makes a fresh prefix
# for each run and starts Xvfb); by hand, the prefix defaults to the build's wine/ folder.
find_program(LECTORIA_WINE NAMES wine wine64 REQUIRED)
get_filename_component(qt_windows_bin "${Qt6Core_DIR}/../../../bin" ABSOLUTE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE mingw_stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
    OUTPUT_VARIABLE mingw_pthread OUTPUT_STRIP_TRAILING_WHITESPACE)
set(wine_path "")
foreach(folder "${qt_windows_bin}" "${mingw_stdcxx}" "${mingw_pthread}")
    if(NOT IS_DIRECTORY "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endif()
    get_filename_component(folder "${folder}" REALPATH)
    string(REPLACE "/" "\\\\" folder "Z:${folder}") # Wine's Z: drive is the root of the file system
    list(APPEND wine_path "${folder}")
endforeach()
list(JOIN wine_path ";" LECTORIA_WINE_PATH)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
