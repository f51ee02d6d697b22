// What makes a QApplication the tarvex program: its name and version, its
// desktop entry, and its windows in the desktop's language.
#pragma once

// Call once, right after the QApplication is made.
void PrepareTarvexApplication();
