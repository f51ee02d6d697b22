#include "cli_options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <vector>

std::string CliUsage() {
    return "usage: tarvex-cli catalog init [--program-dir DIR]\n"
           "       tarvex-cli catalog list [--program-dir DIR]\n"
           "       tarvex-cli update [--base-url URL] [--program-dir DIR] [--yes | --no]\n"
           "       tarvex-cli keygen --out KEYFILE\n"
           "       tarvex-cli publish SITE_FOLDER --key KEYFILE\n"
           "  catalog init   create an empty module catalogue DIR/data/module.dat\n"
           "  catalog list   print every row of the catalogue's three tables\n"
           "  update         one update run from the server's manifest\n"
           "  keygen         a new publisher key pair: KEYFILE (secret, mode 0600) and\n"
           "                 KEYFILE.pub (the line a program folder's data/update-keys takes)\n"
           "  publish        fill in size and sha256 of every file in SITE_FOLDER/autoupdate.txt,\n"
           "                 raise its serial and sign it into autoupdate.txt.sig\n"
           "  --program-dir  the program folder (default: the folder of tarvex-cli)\n"
           "  --base-url     the update server's base URL, ending in /\n"
           "  --yes, --no    answer the upgrade question (default: ask on the terminal,\n"
           "                 no without a terminal)\n"
           "  --help, --version; every --name value may also be given as --name=value\n"
           "exit status of update: the run's result code: 0 updated, 1 no connection,\n"
           "  2 a file cannot be requested, 3 manifest failed, 4 bad entry or module\n"
           "  transfer failed, 6 up to date, 7 declined or not installed;\n"
           "  10 catalogue error, 64 usage error\n";
}

std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error) {
    error.clear();
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption version("version", "Show the version.");
    const QCommandLineOption programDir("program-dir", "The program folder.", "DIR");
    const QCommandLineOption baseUrl("base-url", "The update server's base URL.", "URL");
    const QCommandLineOption yes("yes", "Answer the upgrade question with yes.");
    const QCommandLineOption no("no", "Answer the upgrade question with no.");
    const QCommandLineOption out("out", "The new secret key file.", "KEYFILE");
    const QCommandLineOption key("key", "The secret key file.", "KEYFILE");
    parser.addOptions({help, version, programDir, baseUrl, yes, no, out, key});
    if (!parser.parse(arguments)) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    CliOptions options;
    if (parser.isSet(help)) {
        options.command = CliOptions::Command::Help;
        return options;
    }
    if (parser.isSet(version)) {
        options.command = CliOptions::Command::Version;
        return options;
    }
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        error = "no command given";
        return std::nullopt;
    }
    const QString command = words.takeFirst();
    std::vector<const QCommandLineOption*> allowed{&programDir};
    if (command == "catalog" && !words.isEmpty() &&
        (words.front() == "init" || words.front() == "list")) {
        options.command = words.takeFirst() == "init" ? CliOptions::Command::CatalogInit
                                                      : CliOptions::Command::CatalogList;
    } else if (command == "update") {
        options.command = CliOptions::Command::Update;
        allowed = {&programDir, &baseUrl, &yes, &no};
    } else if (command == "keygen") {
        options.command = CliOptions::Command::KeyGen;
        allowed = {&out};
    } else if (command == "publish" && !words.isEmpty()) {
        options.command = CliOptions::Command::Publish;
        options.site = QFile::encodeName(words.takeFirst()).toStdString();
        allowed = {&key};
    } else {
        error = "unknown command: " + command.toStdString();
        return std::nullopt;
    }
    if (!words.isEmpty()) {
        error = "unexpected argument " + words.front().toStdString();
        return std::nullopt;
    }
    for (const QCommandLineOption* option : {&programDir, &baseUrl, &yes, &no, &out, &key}) {
        const QString name = option->names().front();
        if (!parser.isSet(*option)) continue;
        if (std::find(allowed.begin(), allowed.end(), option) == allowed.end()) {
            error = "--" + name.toStdString() + " does not go with " + command.toStdString();
            return std::nullopt;
        }
        if (!option->valueName().isEmpty() && parser.value(*option).isEmpty()) {
            error = "--" + name.toStdString() + " needs a value";
            return std::nullopt;
        }
    }
    options.programDir = QFile::encodeName(parser.value(programDir)).toStdString();
    options.baseUrl = parser.value(baseUrl).toStdString();
    if (parser.isSet(yes) && parser.isSet(no)) {
        error = "--yes and --no exclude each other";
        return std::nullopt;
    }
    if (parser.isSet(yes)) options.answer = CliOptions::Answer::Yes;
    if (parser.isSet(no)) options.answer = CliOptions::Answer::No;
    const QCommandLineOption& keyOption =
        options.command == CliOptions::Command::KeyGen ? out : key;
    if (options.command == CliOptions::Command::KeyGen ||
        options.command == CliOptions::Command::Publish) {
        if (!parser.isSet(keyOption)) {
            error = command.toStdString() + " needs --" + keyOption.names().front().toStdString() +
                    " KEYFILE";
            return std::nullopt;
        }
        options.keyFile = QFile::encodeName(parser.value(keyOption)).toStdString();
    }
    return options;
}
