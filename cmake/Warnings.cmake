# Warnings are errors for our own targets; third-party headers come in as SYSTEM includes.
function(lectoria_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    endif()
endfunction()

# One call for every library folder: a static library with warnings on.
function(lectoria_library target)
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    lectoria_warnings(${target})
endfunction()
