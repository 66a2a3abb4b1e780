# What Explorer shows of lectoria.exe: the icon, from the committed PNG sizes, and the version
# block, from the project's version. LECTORIA_ICO is the .ico (the installer's shortcut uses it
# too), LECTORIA_WINDOWS_RESOURCES the .rc to add to the program.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(icon_sizes 16 32 48 256)
list(TRANSFORM icon_sizes REPLACE "(.+)" "${PROJECT_SOURCE_DIR}/resources/icons/lectoria-\\1.png" OUTPUT_VARIABLE icon_pngs)
set(LECTORIA_ICO ${PROJECT_BINARY_DIR}/generated/lectoria.ico)
add_custom_command(OUTPUT ${LECTORIA_ICO}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/windows_icon.py ${LECTORIA_ICO} ${icon_pngs}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/windows_icon.py ${icon_pngs}
    COMMENT "lectoria.ico")
add_custom_target(lectoria-ico DEPENDS ${LECTORIA_ICO})

# "1.01.0008": the file version as Windows programs of the first versions showed it.
function(lectoria_zero_padded out value width)
    string(LENGTH "${value}" length)
    while(length LESS width)
        string(PREPEND value "0")
        math(EXPR length "${length} + 1")
    endwhile()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()
lectoria_zero_padded(minor ${PROJECT_VERSION_MINOR} 2)
lectoria_zero_padded(patch ${PROJECT_VERSION_PATCH} 4)
set(LECTORIA_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${minor}.${patch}")

set(LECTORIA_WINDOWS_RESOURCES ${PROJECT_BINARY_DIR}/generated/lectoria.rc)
configure_file(${PROJECT_SOURCE_DIR}/resources/lectoria.rc.in ${LECTORIA_WINDOWS_RESOURCES} @ONLY)
