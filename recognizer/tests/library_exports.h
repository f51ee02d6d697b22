// libmorlin.so as a host has it: loaded with dlopen, the exports looked up by
// name, unloaded when the object goes.
#pragma once

#include <dlfcn.h>

#include <vector>

#include "morlin/morlin.h"

class LibraryExports {
public:
    LibraryExports() : handle(dlopen(MORLIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~LibraryExports() {
        if (handle != nullptr) dlclose(handle);
    }
    LibraryExports(const LibraryExports&) = delete;
    LibraryExports& operator=(const LibraryExports&) = delete;

    bool Loaded() const { return handle != nullptr; }
    void SetSample(int** images, int count, int rows, int columns) {
        Get<void (*)(int**, int, int, int)>("Recognizer_SetSample")(images, count, rows, columns);
    }
    void Train() { Get<void (*)()>("Recognizer_Train")(); }
    void Recognize(int** image, int rows, int columns, std::vector<foundFace>& faces) {
        Get<void (*)(int**, int, int, std::vector<foundFace>&)>("Recognizer_Recognize")(
            image, rows, columns, faces);
    }
    void ParaSet() { Get<void (*)()>("Recognizer_ParaSet")(); }

private:
    template <typename Fn>
    Fn Get(const char* name) {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }

    void* handle;
};
