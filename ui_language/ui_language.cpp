// Choosing and installing a program's translation for the desktop's locale.
#include "ui_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

// Whether app already holds a translator installed under name.
bool Installed(QCoreApplication& app, const QString& name) {
    return app.findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly) != nullptr;
}

// Loads file (for locale) from folder into a translator that app owns and
// installs; false when there is no such translation.
bool Install(QCoreApplication& app, const QString& name, const QLocale& locale, const QString& file,
             const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    // The source texts are the fallback: only a file for one of the locale's
    // languages counts, never the catalogue's bare name.
    if (!translator->load(locale, file, QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return false;
    translator->setObjectName(name);
    translator.release()->setParent(&app);
    return true;
}

}  // namespace

bool InstallTranslation(QCoreApplication& app, const QString& catalogue, const QLocale& locale) {
    // A locale with no language of its own ("C") shows the source texts.
    if (locale.language() == QLocale::C) return false;
    const QString qtName = QStringLiteral("translation:qtbase");
    if (locale.language() != QLocale::English && !Installed(app, qtName))
        Install(app, qtName, locale, QStringLiteral("qtbase"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    const QString name = QStringLiteral("translation:") + catalogue;
    return Installed(app, name) || Install(app, name, locale, catalogue, QStringLiteral(":/i18n"));
}
