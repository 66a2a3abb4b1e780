#pragma once

#include <QCursor>
#include <QPixmap>
#include <QPoint>

namespace lectoria {

// The pointer over the About window's links: a 32 x 32 white hand with its index finger
// raised and a blue cuff, drawn here rather than loaded, with the fingertip as hot spot.
inline constexpr QPoint kHandCursorHotSpot{12, 1};
inline constexpr int kHandCursorSize = 32;

QPixmap HandCursorImage();
QCursor HandCursor();

} // namespace lectoria
