
// Pictures of the recognizer's parameter dialog, opened through libmorlin.so as
// a host opens it, once per kernel state.
#include "screenshots.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "modal_driver.h"
#include "ui/parameter_dialog_ids.h"

namespace {

// Sets the kernel state as a user would, photographs the dialog, cancels.
void Photograph(QWidget* dialog, int kernel, const QString& file) {
    auto* check = dialog->findChild<QCheckBox*>(parameter_dialog_id::kernelOn);
    if (check->isChecked() != (kernel >= 0)) check->click();
    if (kernel >= 0) {
        auto* kernels = dialog->findChild<QComboBox*>(parameter_dialog_id::kernel);
        kernels->setCurrentIndex(kernel);
        emit kernels->activated(kernel);
    }
    SaveWindow(dialog, file);
    dialog->findChild<QPushButton*>(parameter_dialog_id::cancel)->click();
}

}  // namespace

void RecognizerScreenshots(const QString& folder, const QString& library) {
    void* handle = dlopen(library.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(library), dlerror());
        return;
    }
    using SetSampleFn = void (*)(int**, int, int, int);
    using ParaSetFn = void (*)();
    auto setSample = reinterpret_cast<SetSampleFn>(dlsym(handle, "Recognizer_SetSample"));
    auto paraSet = reinterpret_cast<ParaSetFn>(dlsym(handle, "Recognizer_ParaSet"));

    // A gallery of 40 small images, so the component list runs to 40.
    std::vector<std::vector<int>> images(40, std::vector<int>(64));
    std::vector<int*> rows;
    for (size_t i = 0; i < images.size(); ++i) {
        for (size_t p = 0; p < images[i].size(); ++p)
            images[i][p] = static_cast<int>((i * 7 + p * 3) % 256);
        rows.push_back(images[i].data());
    }
    setSample(rows.data(), static_cast<int>(rows.size()), 8, 8);

    const struct {
        int kernel;
        const char* name;
    } states[] = {{-1, "off"}, {0, "linear"}, {1, "polynomial"}, {2, "rbf"}, {3, "sigmoid"}};
    for (const auto& state : states) {
        const QString file = folder + "/parameter-dialog-" + state.name + ".png";
        WhenModal([&](QWidget* dialog) { Photograph(dialog, state.kernel, file); });
        paraSet();
    }
    dlclose(handle);
}
