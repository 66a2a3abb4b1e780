#pragma once

#include <initializer_list>

class QWidget;

namespace lectoria {

// What a screen reader is told about a control, found by its object name inside a window.
struct AccessibleNaming {
    const char* object;      // object name of the control
    const char* name;        // accessible name; empty: the control's own text says it
    const char* description; // empty: the tooltip, if any, is the description
};
void NameControls(QWidget* window, std::initializer_list<AccessibleNaming> namings);

// The progress window's parts: the bar is named, each text line says what it shows (its text is
// its name).
void NameProgressWindowControls(QWidget* window);

} // namespace lectoria
