// libmorlin.so as morlin-studio loads it: a plug-in opened at run time and
// driven through its six exports, as the host application does. The library
// is looked for beside the program (../lib, where an installed or built tree
// keeps it), then on the system's library path.
#pragma once

#include <QLibrary>
#include <QString>

#include <string>
#include <vector>

#include "plugin/morlin.h"

class RecognizerLibrary {
public:
    RecognizerLibrary();
    RecognizerLibrary(const RecognizerLibrary&) = delete;
    RecognizerLibrary& operator=(const RecognizerLibrary&) = delete;

    // Whether the six exports were found; Problem() says why not.
    bool Loaded() const { return version != nullptr; }
    const QString& Problem() const { return problem; }
    QString FileName() const { return library.fileName(); }

    // The module record: author, module name, library file name, version, contact.
    std::vector<std::string> Record() const;
    void ParaSet() const { paraSet(); }
    void SetSample(int** images, int count, int rows, int columns) const {
        setSample(images, count, rows, columns);
    }
    void Train() const { train(); }
    void Recognize(int** image, int rows, int columns, std::vector<foundFace>& result) const {
        recognize(image, rows, columns, result);
    }

private:
    QLibrary library;
    QString problem;
    void (*init)() = nullptr;
    void (*version)(std::string*) = nullptr;
    void (*paraSet)() = nullptr;
    void (*setSample)(int**, int, int, int) = nullptr;
    void (*train)() = nullptr;
    void (*recognize)(int**, int, int, std::vector<foundFace>&) = nullptr;
};
