// tarvex: the updater as a desktop program. Shows the update dialog modally and
// ends when it closes. The command line only points it at another update site
// or program folder, for testing an update site before it goes live.
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "catalog/program_folder.h"
#include "ui/tarvex_application.h"
#include "ui/update_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrepareTarvexApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Updates the modules of the face detection and recognition system."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption baseUrl(QStringLiteral("base-url"),
                                     QStringLiteral("The update site's base URL, ending in /."),
                                     QStringLiteral("URL"), QStringLiteral(TARVEX_UPDATE_URL));
    const QCommandLineOption programDir(
        QStringLiteral("program-dir"),
        QStringLiteral("The program folder holding the modules and data/module.dat (default: the "
                       "folder of tarvex)."),
        QStringLiteral("DIR"));
    parser.addOption(baseUrl);
    parser.addOption(programDir);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "tarvex: %s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 64;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tarvex: unexpected argument %s\n%s",
                     qPrintable(parser.positionalArguments().first()),
                     qPrintable(parser.helpText()));
        return 64;
    }
    if (parser.value(baseUrl).isEmpty() ||
        (parser.isSet(programDir) && parser.value(programDir).isEmpty())) {
        std::fprintf(stderr, "tarvex: an option needs a value\n%s", qPrintable(parser.helpText()));
        return 64;
    }

    const std::filesystem::path folder =
        parser.isSet(programDir) ? std::filesystem::path(parser.value(programDir).toStdString())
                                 : RunningProgramFolder();
    UpdateDialog dialog(parser.value(baseUrl).toStdString(), folder);
    dialog.exec();
    return 0;
}
