#pragma once

#include <cstdint>

namespace lectoria {

// The window icon's sizes as raw pixels (QImage::Format_ARGB32, size x size), generated from
// resources/icons/*.png by tools/icon_pixels.cpp at build time.
struct IconPixels {
    int size;
    const std::uint32_t* argb;
};
extern const IconPixels kIconPixels[];
extern const int kIconPixelsCount;

} // namespace lectoria
