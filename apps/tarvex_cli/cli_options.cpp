// tarvex-cli's commands and options, parsed with QCommandLineParser.
#include "cli_options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "engine/update_result.h"
#include "publish/publish.h"
#include "trust/manifest_stamp.h"
#include "trust/update_site.h"

namespace {

constexpr size_t helpWidth = 78;

// "  0 updated, 1 no connection, ..." from the one list of result codes.
std::string ResultCodeLines() {
    std::string lines = " ";
    size_t width = 1;
    for (const ResultMeaning& result : resultMeanings) {
        const std::string item = " " + std::to_string(result.code) + " " + result.meaning + ",";
        if (width + item.size() > helpWidth) {
            lines += "\n ";
            width = 1;
        }
        lines += item;
        width += item.size();
    }
    lines.back() = '\n';
    return lines;
}

// Reads the verb after keys into options; false for an unknown one.
bool KeysVerb(const QString& verb, CliOptions& options) {
    static const std::vector<std::pair<QString, KeyListChange::Kind>> changes{
        {"init", KeyListChange::Kind::Init},
        {"add", KeyListChange::Kind::Add},
        {"remove", KeyListChange::Kind::Remove},
        {"rotate", KeyListChange::Kind::Rotate},
        {"renew", KeyListChange::Kind::Renew}};
    if (verb == "sign") {
        options.keysSign = true;
        return true;
    }
    for (const auto& [name, kind] : changes)
        if (verb == name) {
            options.keysChange = kind;
            return true;
        }
    return false;
}

// The options each keys verb takes, of every keys option.
std::vector<const QCommandLineOption*> KeysOptions(
    const CliOptions& options, const std::vector<const QCommandLineOption*>& keysOptions) {
    const auto* key = keysOptions[0];
    const auto* validFor = keysOptions[1];
    const auto* root = keysOptions[2];
    const auto* rootThreshold = keysOptions[4];
    if (options.keysSign) return {key};
    switch (options.keysChange) {
        case KeyListChange::Kind::Init:
            return keysOptions;
        case KeyListChange::Kind::Add:
        case KeyListChange::Kind::Remove:
            return {keysOptions.begin(), keysOptions.end() - 1};
        case KeyListChange::Kind::Rotate:
            return {key, validFor, root, rootThreshold};
        case KeyListChange::Kind::Renew:
            break;
    }
    return {key, validFor};
}

// What a keys verb lacks to do anything, or empty.
std::string MissingKeysOption(const CliOptions& options) {
    if (options.command != CliOptions::Command::Keys || options.keysSign) return {};
    switch (options.keysChange) {
        case KeyListChange::Kind::Init:
            if (options.roots.empty() || options.releases.empty())
                return "keys init needs at least one --root and one --release PUBFILE";
            break;
        case KeyListChange::Kind::Add:
        case KeyListChange::Kind::Remove:
            if (options.roots.empty() && options.releases.empty())
                return "keys add and keys remove need a --root or --release PUBFILE";
            break;
        case KeyListChange::Kind::Rotate:
            if (options.roots.empty()) return "keys rotate needs the new --root PUBFILEs";
            break;
        case KeyListChange::Kind::Renew:
            break;
    }
    return {};
}

}  // namespace

std::string CliUsage() {
    return "usage: tarvex-cli catalog init [--program-dir DIR]\n"
           "       tarvex-cli catalog list [--program-dir DIR]\n"
           "       tarvex-cli update [--base-url URL] [--program-dir DIR] [--yes | --no | "
           "--scheduled]\n"
           "       tarvex-cli verify [--base-url URL] [--program-dir DIR] [--key PUBFILE]\n"
           "       tarvex-cli keygen --out KEYFILE\n"
           "       tarvex-cli publish SITE_FOLDER --key KEYFILE... [--serial N] [--valid-for "
           "TIME]\n"
           "       tarvex-cli sign SITE_FOLDER --key KEYFILE\n"
           "       tarvex-cli keys init SITE_FOLDER --root PUBFILE... --release PUBFILE...\n"
           "                 [--root-threshold N] [--release-threshold N] [--pinned PUBFILE...]\n"
           "                 [--valid-for TIME] [--key KEYFILE...]\n"
           "       tarvex-cli keys add|remove SITE_FOLDER [--root PUBFILE...] [--release "
           "PUBFILE...]\n"
           "                 [--root-threshold N] [--release-threshold N] [--valid-for TIME]\n"
           "                 [--key KEYFILE...]\n"
           "       tarvex-cli keys rotate SITE_FOLDER --root PUBFILE... [--root-threshold N] ...\n"
           "       tarvex-cli keys renew SITE_FOLDER [--valid-for TIME] [--key KEYFILE...]\n"
           "       tarvex-cli keys sign SITE_FOLDER --key KEYFILE\n"
           "  catalog init   create an empty module catalogue DIR/data/module.dat\n"
           "  catalog list   print every row of the catalogue's three tables\n"
           "  update         one update run from the server's manifest\n"
           "  verify         a dry run: fetch and check the site's manifest, signature and every\n"
           "                 listed file as update would, changing nothing; with --program-dir\n"
           "                 against that folder's keys and catalogue, with --key against the\n"
           "                 public key PUBFILE\n"
           "  keygen         a new publisher key pair: KEYFILE (secret, mode 0600) and\n"
           "                 KEYFILE.pub (the line a program folder's data/update-keys takes)\n"
           "  publish        fill in size and sha256 of every file in SITE_FOLDER/autoupdate.txt,\n"
           "                 set its serial and sign it into autoupdate.txt.sig; refuses a\n"
           "                 manifest clients would refuse or read differently; with key lists\n"
           "                 every --key must be a release key of the newest\n"
           "  sign           add the signature of one more release key to autoupdate.txt.sig\n"
           "  keys           change the site's signed key list (SITE_FOLDER/keys): init starts\n"
           "                 one (--pinned: the keys desktops trust today, default the roots),\n"
           "                 add and remove keys (remove revokes), rotate replaces the roots,\n"
           "                 renew extends the expiry; the new list waits in keys/pending.txt\n"
           "                 until a threshold of the old and of the new roots signed it (each\n"
           "                 --key signs now; keys sign adds one more), then it is published\n"
           "  --program-dir  the program folder (default: the folder of tarvex-cli)\n"
           "  --base-url     the update server's base URL (a final / is added when missing)\n"
           "  --yes, --no    answer the upgrade question (default: ask on the terminal,\n"
           "                 no without a terminal)\n"
           "  --channel NAME the release channel: stable (the site's folder, the default) or\n"
           "                 another (SITE/channels/NAME/); update remembers it for the folder\n"
           "  --previous FOLDER  publish: an earlier release's files; each changed file gets a\n"
           "                 delta patch from it in patches/, offered in the manifest\n"
           "  --scheduled    a run nobody asked for (the systemd timer): answers yes, waits\n"
           "                 its turn in a staged rollout, and says one line on standard error\n"
           "                 only when something was installed or failed\n"
           "  --serial N     the serial to publish, above the manifest's (default: the larger\n"
           "                 of the manifest's + 1 and the time in seconds since 1970)\n"
           "  --valid-for TIME  write [Main] expires TIME from now: 30d, 12h, 90m, 2w, 3600s;\n"
           "                 for keys, the list's expiry (default 365d)\n"
           "  --help, --version; every --name value may also be given as --name=value\n"
           "exit status of update and verify: the run's result code (verify: 0 when a\n"
           "  client would accept the site):\n" +
           ResultCodeLines() +
           "  of keygen, publish, sign and keys: 0 done, 1 refused (the reason is on standard "
           "error);\n"
           "  10 catalogue error, 64 usage error, 70 unexpected error\n";
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
    const QCommandLineOption scheduled("scheduled", "A run nobody asked for.");
    const QCommandLineOption channel("channel", "The release channel.", "NAME");
    const QCommandLineOption previous("previous", "An earlier release's files.", "FOLDER");
    const QCommandLineOption out("out", "The new secret key file.", "KEYFILE");
    const QCommandLineOption key("key", "The key file.", "KEYFILE");
    const QCommandLineOption serial("serial", "The serial to publish.", "N");
    const QCommandLineOption validFor("valid-for", "How long the manifest is good for.", "TIME");
    const QCommandLineOption root("root", "A root key.", "PUBFILE");
    const QCommandLineOption release("release", "A release key.", "PUBFILE");
    const QCommandLineOption pinned("pinned", "A key desktops pin.", "PUBFILE");
    const QCommandLineOption rootThreshold("root-threshold", "Roots needed.", "N");
    const QCommandLineOption releaseThreshold("release-threshold", "Release keys needed.", "N");
    const std::vector<const QCommandLineOption*> all{
        &programDir,       &baseUrl,   &yes,     &no,      &out,    &key,
        &serial,           &validFor,  &root,    &release, &pinned, &rootThreshold,
        &releaseThreshold, &scheduled, &channel, &previous};
    parser.addOptions({help, version, programDir, baseUrl, yes, no, scheduled, channel, previous,
                       out, key, serial, validFor, root, release, pinned, rootThreshold,
                       releaseThreshold});
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
        allowed = {&programDir, &baseUrl, &yes, &no, &scheduled, &channel};
    } else if (command == "verify") {
        options.command = CliOptions::Command::Verify;
        allowed = {&programDir, &baseUrl, &key, &channel};
    } else if (command == "keygen") {
        options.command = CliOptions::Command::KeyGen;
        allowed = {&out};
    } else if (command == "publish" && !words.isEmpty()) {
        options.command = CliOptions::Command::Publish;
        options.site = QFile::encodeName(words.takeFirst()).toStdString();
        allowed = {&key, &serial, &validFor, &channel, &previous};
    } else if (command == "sign" && !words.isEmpty()) {
        options.command = CliOptions::Command::Sign;
        options.site = QFile::encodeName(words.takeFirst()).toStdString();
        allowed = {&key, &channel};
    } else if (command == "keys" && words.size() >= 2 && KeysVerb(words.front(), options)) {
        options.command = CliOptions::Command::Keys;
        words.takeFirst();
        options.site = QFile::encodeName(words.takeFirst()).toStdString();
        allowed = KeysOptions(options, {&key, &validFor, &root, &release, &rootThreshold,
                                        &releaseThreshold, &pinned});
    } else {
        error = command == "publish" || command == "sign"
                    ? command.toStdString() + " needs the site folder"
                : command == "keys" ? "keys needs one of init, add, remove, rotate, renew, sign "
                                      "and the site folder"
                                    : "unknown command: " + command.toStdString();
        return std::nullopt;
    }
    if (!words.isEmpty()) {
        error = "unexpected argument " + words.front().toStdString();
        return std::nullopt;
    }
    for (const QCommandLineOption* option : all) {
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
    if (parser.isSet(scheduled) && (parser.isSet(yes) || parser.isSet(no))) {
        error = "--scheduled answers yes itself; give it alone";
        return std::nullopt;
    }
    options.scheduled = parser.isSet(scheduled);
    options.channel = parser.value(channel).toStdString();
    if (parser.isSet(channel) && !update_site::IsChannelName(options.channel)) {
        error = "--channel needs a name of 1 to 32 of a-z, 0-9, - and _";
        return std::nullopt;
    }
    if (parser.isSet(yes) || options.scheduled) options.answer = CliOptions::Answer::Yes;
    if (parser.isSet(no)) options.answer = CliOptions::Answer::No;
    if (parser.isSet(serial)) {
        options.serial = ParseSerial(parser.value(serial).toStdString());
        if (!options.serial) {
            error = "--serial needs a number of 1 to 18 digits";
            return std::nullopt;
        }
    }
    if (parser.isSet(validFor)) {
        options.validFor = ParseDuration(parser.value(validFor).toStdString());
        if (!options.validFor) {
            error = "--valid-for needs a time such as 30d, 12h, 90m, 2w or 3600s";
            return std::nullopt;
        }
    }
    for (const auto& [option, threshold] :
         {std::pair{&rootThreshold, &options.rootThreshold},
          std::pair{&releaseThreshold, &options.releaseThreshold}}) {
        if (!parser.isSet(*option)) continue;
        const std::optional<long long> number = ParseSerial(parser.value(*option).toStdString());
        if (!number || *number < 1 || *number > 64) {
            error = "--" + option->names().front().toStdString() + " needs a number from 1 to 64";
            return std::nullopt;
        }
        *threshold = static_cast<int>(*number);
    }
    const auto paths = [&](const QCommandLineOption& option) {
        std::vector<std::filesystem::path> files;
        for (const QString& value : parser.values(option))
            files.push_back(QFile::encodeName(value).toStdString());
        return files;
    };
    options.roots = paths(root);
    options.releases = paths(release);
    options.pinned = paths(pinned);
    options.previous = paths(previous);
    options.keyFiles = paths(key);
    const bool oneKey = options.command == CliOptions::Command::Sign ||
                        options.command == CliOptions::Command::Verify || options.keysSign;
    if (oneKey && options.keyFiles.size() > 1) {
        error = command.toStdString() + " takes one --key";
        return std::nullopt;
    }
    if (const std::string missing = MissingKeysOption(options); !missing.empty()) {
        error = missing;
        return std::nullopt;
    }
    const QCommandLineOption& keyOption =
        options.command == CliOptions::Command::KeyGen ? out : key;
    if (options.command == CliOptions::Command::KeyGen ||
        options.command == CliOptions::Command::Publish ||
        options.command == CliOptions::Command::Sign ||
        (options.command == CliOptions::Command::Keys && options.keysSign)) {
        if (!parser.isSet(keyOption)) {
            error = command.toStdString() + " needs --" + keyOption.names().front().toStdString() +
                    " KEYFILE";
            return std::nullopt;
        }
    }
    options.keyFile = QFile::encodeName(parser.value(keyOption)).toStdString();
    return options;
}
