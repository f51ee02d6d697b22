// Loading libmorlin.so and resolving its six exports.
#include "recognizer_library.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <type_traits>

RecognizerLibrary::RecognizerLibrary() {
    // Where a build tree (lib) or an installed one (its library folder) keeps it.
    QString found = QStringLiteral("libmorlin.so");
    for (const QString& folder : {QStringLiteral("lib"), QStringLiteral(MORLIN_STUDIO_LIBDIR)}) {
        const QString beside =
            QCoreApplication::applicationDirPath() + "/../" + folder + "/libmorlin.so";
        if (QFileInfo::exists(beside)) {
            found = beside;
            break;
        }
    }
    library.setFileName(found);
    if (!library.load()) {
        problem = library.errorString();
        return;
    }
    const auto resolve = [this](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        if (function == nullptr && problem.isEmpty())
            problem = QStringLiteral("%1 has no %2").arg(library.fileName(), QLatin1String(name));
    };
    resolve(init, "Recognizer_Init");
    resolve(paraSet, "Recognizer_ParaSet");
    resolve(setSample, "Recognizer_SetSample");
    resolve(train, "Recognizer_Train");
    resolve(recognize, "Recognizer_Recognize");
    resolve(version, "Recognizer_Version");
    if (!problem.isEmpty()) {
        version = nullptr;
        return;
    }
    init();
}

std::vector<std::string> RecognizerLibrary::Record() const {
    std::vector<std::string> record(5);
    if (Loaded()) version(record.data());
    return record;
}
