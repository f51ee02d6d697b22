// What makes a QApplication the morlin-studio program: its names (which also
// place its settings and its model file), its version, its desktop entry,
// and its windows in the desktop's language.
#pragma once

// Call once, right after the QApplication is made.
void PrepareStudioApplication();
