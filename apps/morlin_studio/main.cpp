// morlin-studio: a desktop host of the identifier. Set up, show the window,
// train on the folder named on the command line (or reopen the last model),
// run.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QTimer>

#include <cstdio>

#include "studio_settings.h"
#include "studio_application.h"
#include "studio_window.h"

namespace {

constexpr int usageStatus = 64;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrepareStudioApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Train a face identification model, name the faces in images, tune and calibrate it.\n"
        "GALLERY holds one folder of photos (or crops) per person;\n"
        "without it, the model of the last session is opened again."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption train(
        QStringLiteral("train"),
        QStringLiteral("Images enrolled per person, in name order; 0: all (default: as last time, "
                       "else 5)."),
        QStringLiteral("K"));
    parser.addOption(train);
    parser.addPositionalArgument(QStringLiteral("GALLERY"),
                                 QStringLiteral("The folder to train on."),
                                 QStringLiteral("[GALLERY]"));
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "morlin-studio: %s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return usageStatus;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    int perPerson = StudioSettings().PerPerson();
    if (parser.isSet(train)) {
        bool ok = false;
        perPerson = parser.value(train).toInt(&ok);
        if (!ok || perPerson < 0) {
            std::fprintf(stderr, "morlin-studio: --train needs a whole number, 0 or more\n%s",
                         qPrintable(parser.helpText()));
            return usageStatus;
        }
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "morlin-studio: one GALLERY at most\n%s",
                     qPrintable(parser.helpText()));
        return usageStatus;
    }
    StudioWindow window;
    window.show();
    if (positional.isEmpty()) {
        QTimer::singleShot(0, &window, [&window] { window.ReopenLastModel(); });
    } else {
        const QString gallery = QDir(positional.front()).absolutePath();
        QTimer::singleShot(0, &window,
                           [&window, gallery, perPerson] { window.Enrol(gallery, perPerson); });
    }
    return app.exec();
}
