// The verify command: a dry run of the site, a line per file and a verdict.
#include "verify_site.h"

#include <iostream>

#include "console_owner.h"
#include "engine/update_engine.h"
#include "trust/key_files.h"

namespace {

std::string VerdictText(const SiteFileReport& file) {
    switch (file.verdict) {
        case SiteFileReport::Verdict::Installs:
            return "would install" + (file.reason.empty() ? "" : " (" + file.reason + ")");
        case SiteFileReport::Verdict::Waits:
            return "waits: " + file.reason;
        case SiteFileReport::Verdict::UpToDate:
            return "up to date, would not install";
        case SiteFileReport::Verdict::Verified:
            return "verified" + (file.reason.empty() ? "" : " (" + file.reason + ")");
        case SiteFileReport::Verdict::LeftOut:
            return "left out: " + file.reason;
        case SiteFileReport::Verdict::Superseded:
            return "would not install: " + file.reason;
        case SiteFileReport::Verdict::Fails:
            break;
    }
    return "FAILS: " + file.reason;
}

}  // namespace

int VerifySiteFromConsole(const CliOptions& options, const std::filesystem::path& programFolder) {
    SiteCheckOptions check;
    check.useProgramFolder = !programFolder.empty();
    if (!options.keyFile.empty()) {
        std::string error;
        const std::optional<PublicKey> key = ReadPublicKeyFile(options.keyFile, error);
        if (!key) {
            std::cerr << "tarvex-cli: " << error << "\n";
            return 3;
        }
        check.extraKeys.push_back(*key);
    }
    std::vector<SiteFileReport> files;
    int result = 0;
    std::string reason;
    KeyList start;
    std::vector<KeyList> walked;
    {
        ConsoleOwner owner(false, stderr);
        EngineEnvironment environment;
        environment.programFolder = programFolder;
        environment.channel = options.channel;
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        result = engine.CheckSite(options.baseUrl.empty() ? TARVEX_UPDATE_URL : options.baseUrl,
                                  check, files);
        reason = engine.FailureReason();
        start = engine.StartingKeyList();
        walked = engine.AcceptedKeyLists();
    }
    // The chain as a desktop walks it: where it starts, each list it moves to.
    if (start.version > 0 || !walked.empty()) {
        std::cout << "trusted: " << DescribeKeyList(start) << "\n";
        for (const KeyList& list : walked)
            std::cout << "accepted " << DescribeKeyList(list) << "\n";
    }
    for (const SiteFileReport& file : files)
        std::cout << file.filename << "\t" << file.version << "\t"
                  << (file.size.empty() ? "-" : file.size + " bytes") << "\t"
                  << (file.sha256.empty() ? "-" : "sha256:" + file.sha256) << "\t"
                  << VerdictText(file) << "\n";
    if (result == 0)
        std::cout << "site accepted: " << files.size() << (files.size() == 1 ? " file" : " files")
                  << " checked\n";
    else
        std::cout << "site refused" << (reason.empty() ? "" : ": " + reason) << "\n";
    std::cout.flush();
    return result;
}
