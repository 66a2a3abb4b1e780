#pragma once

#include <cstdint>

namespace lectoria {

// Images compiled in as raw pixels (QImage::Format_ARGB32, width x height), generated from
// committed PNGs by tools/image_pixels.cpp at build time.
struct ImagePixels {
    int width;
    int height;
    const std::uint32_t* argb;
};

// The window icon's sizes, from resources/icons.
extern const ImagePixels kIconPixels[];
extern const int kIconPixelsCount;

// The two logos at one and two device pixels per pixel, from resources/logos.
extern const ImagePixels kLogoPixels[];
extern const int kLogoPixelsCount;

} // namespace lectoria
