#pragma once

class QWidget;

namespace lectoria {

// What a screen reader is told about the progress window's parts, found by their object names:
// the bar is named, each text line says what it shows (its text is its name).
void NameProgressWindowControls(QWidget* window);

} // namespace lectoria
