#pragma once

class QWidget;

namespace lectoria {

// What a screen reader is told about the controls of the two windows: French names, the
// tooltips as descriptions, the labels as buddies of what they label. Nothing here changes
// what the windows look like. Each window calls its function once, after its controls exist;
// the controls are found by their object names.
void NameMainWindowControls(QWidget* window);
void NameAboutWindowControls(QWidget* window);

// Makes Qt describe our link labels as links (role, name, a "press" action), our two windows
// as windows and the calendar's grid as a list of named days, and mends the order of Qt's
// events where a screen reader would miss a focus change. Called by the functions above and by
// every link label's constructor; installs the factory and the event handler once.
void InstallAccessibleInterfaces();

} // namespace lectoria
