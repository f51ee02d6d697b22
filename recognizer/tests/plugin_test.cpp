// The module as a host sees it: loaded with dlopen, exports looked up by their
// undecorated names, nothing of the internals visible.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "gallery.h"
#include "morlin/morlin.h"

namespace {

using VersionFn = void (*)(std::string*);
using VoidFn = void (*)();
using SetSampleFn = void (*)(int**, int, int, int);
using RecognizeFn = void (*)(int**, int, int, std::vector<foundFace>&);

class PluginTest : public ::testing::Test {
protected:
    // A fresh handle per test; the library stays loaded between tests, so each
    // test starts by setting its own gallery.
    PluginTest() : handle(dlopen(MORLIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~PluginTest() override {
        if (handle != nullptr) dlclose(handle);
    }

    template <typename Fn>
    Fn Export(const char* name) {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }

    void* handle;
};

TEST_F(PluginTest, SixExportsResolveByUndecoratedName) {
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name : {"Recognizer_Init", "Recognizer_Version", "Recognizer_ParaSet",
                             "Recognizer_SetSample", "Recognizer_Train", "Recognizer_Recognize"})
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    EXPECT_EQ(dlsym(handle, "MakeMatrix"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZN11MatrixSpace10MakeMatrixEii"), nullptr);
}

TEST_F(PluginTest, VersionFillsTheFiveSlotsInOrder) {
    ASSERT_NE(handle, nullptr) << dlerror();
    std::string record[5];
    Export<VoidFn>("Recognizer_Init")();
    Export<VersionFn>("Recognizer_Version")(record);
    EXPECT_EQ(record[0], "Dorsk");
    EXPECT_EQ(record[1], "(K)PCA人脸识别");
    EXPECT_EQ(record[2], "libmorlin.so");
    EXPECT_EQ(record[3], "2.0.051208");
    EXPECT_NE(record[4].find('@'), std::string::npos);
}

TEST_F(PluginTest, GalleryTrainsAndRecognizesThroughTheExports) {
    ASSERT_NE(handle, nullptr) << dlerror();
    Gallery gallery(112, 92);
    for (int person = 1; person <= 4; ++person) gallery.Add(LoadOrlFace(person, 1));
    Export<SetSampleFn>("Recognizer_SetSample")(gallery.Pointers(), 4, 112, 92);
    Export<VoidFn>("Recognizer_Train")();

    Gallery probe(112, 92);
    probe.Add(gallery.Image(2));
    std::vector<foundFace> faces;
    Export<RecognizeFn>("Recognizer_Recognize")(probe.RowPointers(0), 112, 92, faces);
    ASSERT_FALSE(faces.empty());
    EXPECT_EQ(faces.front().index, 2);
    EXPECT_NEAR(faces.front().distance, 0.0, 1e-3);

    // A second Train in a row empties the recognizer: nothing is found.
    Export<VoidFn>("Recognizer_Train")();
    std::vector<foundFace> none;
    Export<RecognizeFn>("Recognizer_Recognize")(probe.RowPointers(0), 112, 92, none);
    EXPECT_TRUE(none.empty());
}

// This host has no QApplication: the dialog cannot open, and must neither
// crash nor wait; the reason goes to standard error.
TEST_F(PluginTest, ParaSetWithoutQApplicationSaysWhyAndReturns) {
    ASSERT_NE(handle, nullptr) << dlerror();
    ::testing::internal::CaptureStderr();
    Export<VoidFn>("Recognizer_ParaSet")();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("QApplication"), std::string::npos);
}

TEST_F(PluginTest, DynamicSymbolsShowOnlyTheExportsTheClassAndTheIdentifier) {
    const std::string command = std::string("nm -D --defined-only ") + MORLIN_LIBRARY_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exports;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string symbol(line);
        symbol = symbol.substr(symbol.rfind(' ') + 1);
        symbol.pop_back();
        if (symbol.rfind("Recognizer_", 0) == 0) {
            exports.insert(symbol);
            continue;
        }
        // The class's own symbols, the identifier's interface (namespace
        // morlin), and standard-library template instances that the headers
        // mark visible.
        const bool linker = symbol == "__bss_start" || symbol == "_edata" || symbol == "_end";
        const bool ours = symbol.find("20CNolt_PCARecognition") != std::string::npos ||
                          symbol.find("6morlin") != std::string::npos;
        const bool standard = symbol.rfind("_ZNSt", 0) == 0 || symbol.rfind("_ZNKSt", 0) == 0 ||
                              symbol.rfind("_ZSt", 0) == 0 || symbol.rfind("_ZZNSt", 0) == 0;
        EXPECT_TRUE(ours || standard || linker) << "unexpected export: " << symbol;
    }
    EXPECT_EQ(exports.size(), 6u);
}

}  // namespace
