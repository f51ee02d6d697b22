// The tarvex program's identity and language.
#include "ui/tarvex_application.h"

#include <QApplication>

#include "ui_language.h"

void PrepareTarvexApplication() {
    QApplication::setApplicationName(QStringLiteral("tarvex"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    // The desktop matches windows to the menu entry and its icon by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.facemodules.Tarvex"));
    InstallTranslation(*QCoreApplication::instance(), QStringLiteral("tarvex"));
}
