#pragma once

#include <QIcon>
#include <QPixmap>

namespace lectoria {

// Our own small drawings beside the two newspaper options, and the program's icon.
QPixmap DrawTwentyMinutesLogo(qreal pixelRatio = 1); // 30 x 30: white segment digits "20" over "minutes", on blue
QPixmap DrawMetroLogo(qreal pixelRatio = 1);         // 50 x 15: white "metro" whose "o" is a globe, on green

// The logos as the window shows them: at one or two device pixels per pixel, the drawings
// rendered once into resources/logos and compiled in (drawing them loaded two more font sizes
// and took two milliseconds of the start-up); at any other ratio, drawn.
QPixmap TwentyMinutesLogo(qreal pixelRatio);
QPixmap MetroLogo(qreal pixelRatio);
QIcon ApplicationIcon(); // resources/lectoria.svg rendered at 16, 32, 48 and 256 px

// A PNG file or resource decoded by Qt's built-in reader, without loading Qt's image-format
// plugins (SVG, JPEG, GIF, ICO and their libraries), which a reader that guesses the format
// loads and asks one by one.
QImage ReadPng(const QString& path);

} // namespace lectoria
