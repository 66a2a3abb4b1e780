# Programs that run during the build: LECTORIA_IMAGE_PIXELS is the command that writes the pixel
# sources of the icon and the logos, LECTORIA_IMAGE_PIXELS_TARGET what builds it. In a cross build
# it is built for the build machine, with its own compiler and Qt, as a project of its own
# (tools/host); otherwise it is the tools/ target.
if(CMAKE_CROSSCOMPILING)
    include(ExternalProject)
    set(host_tools ${CMAKE_BINARY_DIR}/host-tools)
    set(LECTORIA_IMAGE_PIXELS ${host_tools}/lectoria-image-pixels)
    ExternalProject_Add(lectoria-host-tools
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/host
        BINARY_DIR ${host_tools}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON # follows changes of tools/image_pixels.cpp
        BUILD_BYPRODUCTS ${LECTORIA_IMAGE_PIXELS})
    set(LECTORIA_IMAGE_PIXELS_TARGET lectoria-host-tools)
else()
    set(LECTORIA_IMAGE_PIXELS lectoria-image-pixels)
    set(LECTORIA_IMAGE_PIXELS_TARGET lectoria-image-pixels)
endif()
