#pragma once

#include "rules/selection_state.h"

class QWidget;

namespace lectoria {

// Shows the About window beside the main window, not modal, and disables the main window
// until the About window is closed, whichever way.
void OpenAboutWindow(QWidget* mainWindow, const SelectionState& state);

} // namespace lectoria
