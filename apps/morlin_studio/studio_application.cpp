// The morlin-studio program's identity and language.
#include "studio_application.h"

#include <QApplication>

#include "ui_language.h"

void PrepareStudioApplication() {
    QApplication::setOrganizationName(QStringLiteral("Morlin"));
    QApplication::setApplicationName(QStringLiteral("morlin-studio"));
    QApplication::setApplicationVersion(QStringLiteral(MORLIN_STUDIO_VERSION));
    // The desktop matches windows to the menu entry and its icon by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.facemodules.MorlinStudio"));
    InstallTranslation(*QCoreApplication::instance(), QStringLiteral("morlin-studio"));
}
