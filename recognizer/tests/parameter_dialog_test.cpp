// The parameter dialog as hosts open it: through the exported class and through
// Recognizer_ParaSet of the library loaded with dlopen, inside the test's
// QApplication. Every dialog and message box is driven by the test.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "gallery.h"
#include "modal_driver.h"
#include "morlin/morlin.h"
#include "ui/parameter_dialog_ids.h"
#include "ui/parameter_dialog_texts.h"

namespace {

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

// Runs ParaSet with act driving the dialog; fails when no dialog opened.
void WithDialog(const std::function<void()>& paraSet, const std::function<void(QWidget*)>& act) {
    auto ran = WhenModal(act);
    paraSet();
    EXPECT_TRUE(*ran) << "no dialog opened";
}

template <typename T>
T* Control(QWidget* dialog, const char* id) {
    T* control = dialog->findChild<T*>(id);
    EXPECT_NE(control, nullptr) << id;
    return control;
}

void Ok(QWidget* dialog) {
    Control<QPushButton>(dialog, parameter_dialog_id::ok)->click();
}
void Cancel(QWidget* dialog) {
    Control<QPushButton>(dialog, parameter_dialog_id::cancel)->click();
}

class ParameterDialogTest : public ::testing::Test {
protected:
    void Load(int count) {
        gallery = std::make_unique<Gallery>(RandomGallery(count, 8, 6, 7));
        recognizer.SetSample(gallery->Pointers(), count, 8, 6);
    }
    void Run(const std::function<void(QWidget*)>& act) {
        WithDialog([this] { recognizer.ParaSet(); }, act);
    }

    CNolt_PCARecognition recognizer;
    std::unique_ptr<Gallery> gallery;
};

TEST_F(ParameterDialogTest, ComponentListRunsToTheSampleCountAndOkKeepsTheModel) {
    Load(40);
    recognizer.Train();
    ASSERT_TRUE(recognizer.IsTrained());
    Run([](QWidget* dialog) {
        auto* components = Control<QComboBox>(dialog, parameter_dialog_id::components);
        EXPECT_EQ(components->count(), 40);
        EXPECT_EQ(components->itemText(0), "1");
        EXPECT_EQ(components->itemText(39), "40");
        EXPECT_EQ(components->currentText(), "30");
        Ok(dialog);
    });
    EXPECT_EQ(recognizer.Parameters().componentNum, 30);
    EXPECT_FALSE(recognizer.IsTrained());
    EXPECT_TRUE(recognizer.HoldsModel()) << "an accepted dialog leaves the model (Stale)";
}

TEST_F(ParameterDialogTest, NoComponentSelectedKeepsTheCount) {
    for (int count : {0, 10}) {
        if (count > 0) Load(count);
        Run([count](QWidget* dialog) {
            auto* components = Control<QComboBox>(dialog, parameter_dialog_id::components);
            EXPECT_EQ(components->count(), count);
            EXPECT_EQ(components->currentIndex(), -1);
            Ok(dialog);
        });
        EXPECT_EQ(recognizer.Parameters().componentNum, 30) << count << " samples";
    }
}

TEST_F(ParameterDialogTest, DegreeIsShownTruncatedAndStoredOnlyOnOk) {
    PCAParameter p;
    p.isKernel = true;
    p.kernelType = 1;
    p.degree = 2.7;
    recognizer.SetPCAPara(p);
    Run([](QWidget* dialog) {
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::degree)->text(), "2");
        Cancel(dialog);
    });
    EXPECT_EQ(recognizer.Parameters().degree, 2.7);
    Run([](QWidget* dialog) { Ok(dialog); });
    EXPECT_EQ(recognizer.Parameters().degree, 2.0);
}

TEST_F(ParameterDialogTest, CancelLeavesEverythingAfterEdits) {
    Load(20);
    recognizer.Train();
    const PCAParameter before = recognizer.Parameters();
    Run([](QWidget* dialog) {
        Control<QCheckBox>(dialog, parameter_dialog_id::kernelOn)->click();
        auto* kernels = Control<QComboBox>(dialog, parameter_dialog_id::kernel);
        kernels->setCurrentIndex(2);
        emit kernels->activated(2);
        Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->setText("0.5");
        Control<QLineEdit>(dialog, parameter_dialog_id::threshold)->setText("0.25");
        Control<QComboBox>(dialog, parameter_dialog_id::distance)->setCurrentIndex(4);
        Cancel(dialog);
    });
    const PCAParameter& after = recognizer.Parameters();
    EXPECT_EQ(after.isKernel, before.isKernel);
    EXPECT_EQ(after.kernelType, before.kernelType);
    EXPECT_EQ(after.gamma, before.gamma);
    EXPECT_EQ(after.threshold, before.threshold);
    EXPECT_EQ(after.distanceType, before.distanceType);
    EXPECT_TRUE(recognizer.IsTrained());
}

struct EnablingCase {
    const char* name;
    bool kernelOn;
    int kernel;
    bool list, degree, gamma, coef0;
};

class EnablingTest : public ParameterDialogTest,
                     public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(EnablingTest, KernelStateEnablesItsEdits) {
    const EnablingCase& c = GetParam();
    PCAParameter p;
    p.kernelType = 1;  // polynomial enables everything; the case then changes it
    p.isKernel = true;
    recognizer.SetPCAPara(p);
    Run([&c](QWidget* dialog) {
        auto* check = Control<QCheckBox>(dialog, parameter_dialog_id::kernelOn);
        auto* kernels = Control<QComboBox>(dialog, parameter_dialog_id::kernel);
        kernels->setCurrentIndex(c.kernel);
        emit kernels->activated(c.kernel);
        if (!c.kernelOn) check->click();
        EXPECT_EQ(kernels->isEnabled(), c.list);
        // The box cuts the longer kernel texts; the tool tip has them whole.
        EXPECT_EQ(kernels->toolTip(), kernels->itemText(c.kernel));
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::degree)->isEnabled(), c.degree);
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->isEnabled(), c.gamma);
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::coef0)->isEnabled(), c.coef0);
        Cancel(dialog);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, EnablingTest,
    ::testing::Values(EnablingCase{"KpcaOff", false, 2, false, false, false, false},
                      EnablingCase{"Linear", true, 0, true, false, false, false},
                      EnablingCase{"Polynomial", true, 1, true, true, true, true},
                      EnablingCase{"Rbf", true, 2, true, false, true, false},
                      EnablingCase{"Sigmoid", true, 3, true, false, true, true}),
    [](const auto& kernelCase) { return std::string(kernelCase.param.name); });

TEST_F(ParameterDialogTest, NonNumberStopsTheExchangeAtItsEdit) {
    Run([](QWidget* dialog) {
        MessageBoxAnswerer answerer;
        Control<QLineEdit>(dialog, parameter_dialog_id::coef0)->setText("5");
        Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->setText("abc");
        Control<QLineEdit>(dialog, parameter_dialog_id::threshold)->setText("9");
        // The click reads up to gamma, then writes the members back.
        Control<QCheckBox>(dialog, parameter_dialog_id::kernelOn)->click();
        EXPECT_EQ(answerer.Texts(), QStringList{"Please enter a number."});
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::coef0)->text(), "5");
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->text(), "1");
        EXPECT_EQ(Control<QLineEdit>(dialog, parameter_dialog_id::threshold)->text(), "3");
        // OK with a non-number keeps the dialog open.
        Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->setText("x");
        Ok(dialog);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(answerer.Texts().size(), 2);
        Control<QLineEdit>(dialog, parameter_dialog_id::gamma)->setText("0.001");
        Ok(dialog);
    });
    EXPECT_EQ(recognizer.Parameters().gamma, 0.001);
    EXPECT_EQ(recognizer.Parameters().coef0, 5.0);
}

// A host loads the library with dlopen inside its own QApplication.
TEST(ParameterDialogHostTest, ExportShowsTheDesignedDialogAndKeepsTheEdits) {
    void* handle = dlopen(MORLIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto setSample =
        reinterpret_cast<void (*)(int**, int, int, int)>(dlsym(handle, "Recognizer_SetSample"));
    auto train = reinterpret_cast<void (*)()>(dlsym(handle, "Recognizer_Train"));
    auto paraSet = reinterpret_cast<void (*)()>(dlsym(handle, "Recognizer_ParaSet"));
    auto recognize = reinterpret_cast<void (*)(int**, int, int, std::vector<foundFace>&)>(
        dlsym(handle, "Recognizer_Recognize"));

    Gallery gallery = RandomGallery(12, 8, 6, 3);
    setSample(gallery.Pointers(), gallery.Count(), 8, 6);
    train();
    std::vector<foundFace> matches;
    recognize(gallery.RowPointers(0), 8, 6, matches);
    ASSERT_FALSE(matches.empty()) << "the default threshold accepts the gallery";

    WithDialog(paraSet, [](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "识别算法参数设置");
        EXPECT_EQ(Control<QCheckBox>(dialog, parameter_dialog_id::kernelOn)->text(), "KPCA");
        EXPECT_EQ(Items(Control<QComboBox>(dialog, parameter_dialog_id::distance)),
                  (QStringList{"CityBlock", "Euclidean ", "Covariance", "Correlation", "MahCosine",
                               "YamborAngle", "YamborDistance", "MahL1", "MahL2", "LDASoft"}));
        EXPECT_EQ(Items(Control<QComboBox>(dialog, parameter_dialog_id::kernel)),
                  (QStringList{"0 --- linear:  u'*v", "1 --- polynomial (gamma*u'*v+coef0)^degree",
                               "2 --- rbf exp(-gamma*|u-v|^2)",
                               "3 --- sigmoid tanh(gamma*u'*v)+coef0)"}));
        Control<QLineEdit>(dialog, parameter_dialog_id::threshold)->setText("0");
        Ok(dialog);
    });
    // The held model goes on recognizing with the new threshold: nothing passes 0.
    matches.clear();
    recognize(gallery.RowPointers(0), 8, 6, matches);
    EXPECT_TRUE(matches.empty());
    dlclose(handle);
}

TEST_F(ParameterDialogTest, OtherThreadsGetNoDialogAndTheReasonOnStandardError) {
    Load(10);
    const PCAParameter before = recognizer.Parameters();
    ::testing::internal::CaptureStderr();
    std::thread worker([this] { recognizer.ParaSet(); });
    worker.join();
    const std::string said = ::testing::internal::GetCapturedStderr();
    // ParaSet has returned: a dialog it made, shown or not, would still exist.
    QCoreApplication::processEvents();
    for (QWidget* widget : QApplication::allWidgets())
        EXPECT_EQ(qobject_cast<QDialog*>(widget), nullptr) << widget->objectName().toStdString();
    EXPECT_NE(said.find("只能在运行 QApplication 的线程上打开"), std::string::npos) << said;
    EXPECT_EQ(recognizer.Parameters().threshold, before.threshold);
    EXPECT_FALSE(recognizer.IsTrained());
}

// The translation tools read the marked list, not the template: a text
// added to the template without the list would never be translated.
TEST(ParameterDialogTextsTest, EveryTemplateTextIsMarkedForTranslation) {
    QFile file(":/morlin/parameter_dialog.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject dialog = QJsonDocument::fromJson(file.readAll()).object();
    QStringList texts{dialog["title"].toString()};
    for (const QJsonValue& control : dialog["controls"].toArray())
        if (!control["text"].toString().isEmpty()) texts << control["text"].toString();
    ASSERT_GT(texts.size(), 10);
    const QStringList marked(std::begin(parameterDialogTexts), std::end(parameterDialogTexts));
    for (const QString& text : texts) EXPECT_TRUE(marked.contains(text)) << qPrintable(text);
}

}  // namespace
