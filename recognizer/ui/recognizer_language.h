// The recognizer module's windows in the desktop's language: the module
// brings its own translation and installs it into its host's application the
// first time one of its windows opens.
#pragma once

#include <QString>

// Installs the module's translation into the running application, once.
void InstallRecognizerTranslation();
// text, of the scope "Recognizer" or "ParameterDialog", in the desktop's language.
QString RecognizerText(const char* scope, const char* text);
