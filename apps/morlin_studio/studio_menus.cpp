// morlin-studio's menus: File (the model and recognition), Recognizer (the
// method, its parameters, training, calibration and evaluation) and Help.
#include <QAction>
#include <QMenuBar>
#include <QMessageBox>

#include <string>

#include "morlin/morlin.h"
#include "studio_window.h"

void StudioWindow::MakeMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* openGallery = file->addAction(tr("&Train on a folder of people..."),
                                           QKeySequence::Open, this, &StudioWindow::OpenGallery);
    QAction* addPerson = file->addAction(tr("&Add person..."), this, &StudioWindow::AskAddPerson);
    QAction* removePerson =
        file->addAction(tr("Re&move person..."), this, &StudioWindow::AskRemovePerson);
    file->addSeparator();
    QAction* openModel = file->addAction(tr("&Open model..."), this, &StudioWindow::AskOpenModel);
    QAction* saveModel = file->addAction(tr("&Save model as..."), QKeySequence::SaveAs, this,
                                         &StudioWindow::AskSaveModel);
    file->addSeparator();
    QAction* openProbe = file->addAction(tr("&Recognize a photo..."), QKeySequence(tr("Ctrl+R")),
                                         this, &StudioWindow::OpenProbe);
    QAction* paste = file->addAction(tr("Recognize &pasted image"), QKeySequence::Paste, this,
                                     &StudioWindow::PasteProbe);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* recognizer = menuBar()->addMenu(tr("&Recognizer"));
    QMenu* methods = recognizer->addMenu(tr("&Method"));
    for (morlin::Method method : morlin::allMethods) {
        QAction* action = methods->addAction(QString::fromStdString(morlin::MethodName(method)),
                                             this, [this, method] { SetMethod(method); });
        action->setCheckable(true);
        action->setToolTip(QString::fromStdString(morlin::MethodDescription(method)));
        methodActions.push_back(action);
    }
    methods->setToolTipsVisible(true);
    QAction* editParameters = recognizer->addAction(
        tr("&Parameters..."), QKeySequence(tr("Ctrl+P")), this, &StudioWindow::EditParameters);
    editParameters->setObjectName("parameters");
    QAction* retrain = recognizer->addAction(tr("Re&train"), this, &StudioWindow::Retrain);
    QAction* calibrate = recognizer->addAction(tr("&Calibrate for strangers..."), this,
                                               &StudioWindow::AskCalibration);
    QAction* evaluate = recognizer->addAction(tr("&Evaluate on the images not enrolled"), this,
                                              &StudioWindow::EvaluateHeldOut);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About morlin-studio"), this, [this] {
        std::string record[5];
        Recognizer_Version(record);
        QMessageBox::about(
            this, tr("About morlin-studio"),
            tr("morlin-studio: train a face identification model, name the faces in photos, "
               "tune and calibrate it.\n\nRecognizer: %1 %2 by %3")
                .arg(QString::fromStdString(record[1]), QString::fromStdString(record[3]),
                     QString::fromStdString(record[0])));
    });
    modelActions = {openGallery, addPerson,      removePerson, openModel, saveModel, openProbe,
                    paste,       editParameters, retrain,      calibrate, evaluate};
    modelActions.insert(modelActions.end(), methodActions.begin(), methodActions.end());
    needModel = {addPerson, removePerson, saveModel, openProbe, paste, calibrate};
}
