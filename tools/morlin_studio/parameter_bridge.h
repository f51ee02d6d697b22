// The studio's side of the recognizer's parameter dialog. The plug-in offers
// no other way to read or set its parameters than the dialog that
// Recognizer_ParaSet shows, so the studio reads them from its controls when
// a user accepts it, and sets them by filling the controls of a dialog kept
// off the screen. The controls are found by their designed ids.
#pragma once

#include "plugin/morlin.h"

class QObject;
class QWidget;

// Whether object is the recognizer's parameter dialog.
bool IsParameterDialog(const QObject* object);

// The parameters an accepted dialog stores, as ParaSet maps its controls; a
// count of components stays before's when none is chosen.
PCAParameter ParametersOf(const QWidget* dialog, const PCAParameter& before);

// Fills the dialog's controls with p and accepts it.
void AcceptWith(QWidget* dialog, const PCAParameter& p);
