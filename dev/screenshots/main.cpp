// ui-screenshots: writes a PNG of every window of both deliverables into a
// folder, in the language of the locale (LANG). Run it with
// QT_QPA_PLATFORM=offscreen, or under an X server.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QWidget>

#include <cstdio>

#include "screenshots.h"
#include "ui_language.h"

void SaveWindow(QWidget* window, const QString& file) {
    window->show();
    window->adjustSize();
    QApplication::processEvents();
    if (!window->grab().save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    else
        std::printf("%s\n", qPrintable(file));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The windows in the desktop's language, as their programs show them
    // (the recognizer's dialog brings its own).
    InstallTranslation(app, QStringLiteral("tarvex"));
    InstallTranslation(app, QStringLiteral("morlin-studio"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a PNG of every window into FOLDER."));
    parser.addHelpOption();
    const QCommandLineOption library(
        QStringLiteral("morlin"), QStringLiteral("Path of libmorlin.so."), QStringLiteral("FILE"));
    parser.addOption(library);
    const QCommandLineOption faces(QStringLiteral("orl"),
                                   QStringLiteral("The ORL faces, for morlin-studio's pictures."),
                                   QStringLiteral("FOLDER"));
    parser.addOption(faces);
    const QCommandLineOption model(
        QStringLiteral("model"),
        QStringLiteral(
            "A model for morlin-studio to open (with --orl), such as a large gallery's."),
        QStringLiteral("FILE"));
    parser.addOption(model);
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("Where the pictures go."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "ui-screenshots: give one output folder\n%s",
                     qPrintable(parser.helpText()));
        return 64;
    }
    const QString folder = parser.positionalArguments().first();
    QDir().mkpath(folder);
    UpdaterScreenshots(folder);
    if (parser.isSet(library)) RecognizerScreenshots(folder, parser.value(library));
    if (parser.isSet(faces) && parser.isSet(model))
        StudioModelScreenshot(folder, parser.value(model), parser.value(faces));
    else if (parser.isSet(faces))
        StudioScreenshots(folder, parser.value(faces));
    return 0;
}
