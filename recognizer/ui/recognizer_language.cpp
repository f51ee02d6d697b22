// The recognizer module's translation, installed into its host on first use.
#include "ui/recognizer_language.h"

#include <QCoreApplication>

#include "ui_language.h"

void InstallRecognizerTranslation() {
    if (QCoreApplication* app = QCoreApplication::instance())
        InstallTranslation(*app, QStringLiteral("morlin"));
}

QString RecognizerText(const char* scope, const char* text) {
    InstallRecognizerTranslation();
    return QCoreApplication::translate(scope, text);
}
