// The parameter dialog over a set of recognizer parameters. It opens inside
// the host's QApplication, owned by its active window, on the thread that
// runs it (Qt builds widgets nowhere else).
#pragma once

#include "morlin/morlin_records.h"

// Why the dialog cannot open here (a text of the recognizer's message
// channel); nothing when it can.
const char* DialogRefusal();

// Runs the dialog over p with components 1..listSize offered; true, with p
// holding the accepted values, when the user accepted it.
bool RunParameterDialog(PCAParameter& p, int listSize);
