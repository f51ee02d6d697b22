
// The update dialog, template 102: controls, data exchange, the run and its result.
#include "ui/update_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <limits>

#include "catalog/catalog_error.h"
#include "dialog_units.h"
#include "engine/update_engine.h"
#include "ui/about_dialog.h"
#include "ui/result_message.h"
#include "ui/text_progress_ctrl.h"
#include "ui/updater_texts.h"
#include "ui/update_dialog_ids.h"

namespace {

// The run counts in KiB; the bar counts in int.
int ToBarUnits(uint64_t kib) {
    return static_cast<int>(std::min<uint64_t>(kib, std::numeric_limits<int>::max()));
}

}  // namespace

UpdateDialog::UpdateDialog(std::string updateSite, std::filesystem::path folder, QWidget* parent)
    : QDialog(parent), icon(), baseUrl(std::move(updateSite)), programFolder(std::move(folder)) {
    icon.addFile(programIconPath);
    icon.addFile(smallProgramIconPath);
    const DialogUnits units(font());

    checkButton = new QPushButton(Shown(checkButtonText), this);
    checkButton->setObjectName(update_dialog_id::checkLatest);
    units.Place(checkButton, 16, 19, 76, 17);

    progress = new TextProgressCtrl(this);
    progress->setObjectName(update_dialog_id::progress);
    progress->setWindowTitle(QStringLiteral("Progress1"));
    progress->SetBordered(true);
    units.Place(progress, 18, 70, 189, 14);

    // The template's texts; the first data exchange replaces them with the
    // empty members, so both lines start blank.
    statusLabel = new QLabel(Shown(statusTemplateText), this);
    statusLabel->setObjectName(update_dialog_id::status);
    statusLabel->setTextFormat(Qt::PlainText);
    units.Place(statusLabel, 18, 46, 122, 13);

    sizeLabel = new QLabel(Shown(sizeTemplateText), this);
    sizeLabel->setObjectName(update_dialog_id::size);
    sizeLabel->setTextFormat(Qt::PlainText);
    units.Place(sizeLabel, 18, 89, 186, 11);

    closeCheck = new QCheckBox(Shown(closeWhenDoneText), this);
    closeCheck->setObjectName(update_dialog_id::closeWhenDone);
    units.PlaceText(closeCheck, 18, 103, 123, 16);

    connect(checkButton, &QPushButton::clicked, this, &UpdateDialog::OnCheckLatest);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &UpdateDialog::ShowAbout);

    setWindowTitle(Shown(updateDialogTitle));
    setWindowIcon(icon);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(units.X(268), units.Y(139));
    UpdateData(false);
    checkButton->setFocus();
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        statusText = statusLabel->text();
        sizeText = sizeLabel->text();
        closeWhenDone = closeCheck->isChecked();
        return;
    }
    statusLabel->setText(statusText);
    sizeLabel->setText(sizeText);
    closeCheck->setChecked(closeWhenDone);
}

void UpdateDialog::SetStatusText(const std::string& text) {
    statusText = QString::fromStdString(text);
}

void UpdateDialog::SetSizeText(const std::string& text) {
    sizeText = QString::fromStdString(text);
}

void UpdateDialog::SetProgressRange(uint64_t lower, uint64_t upper) {
    progress->SetRange(ToBarUnits(lower), ToBarUnits(upper));
}

void UpdateDialog::SetProgressPos(uint64_t position) {
    progress->SetPos(ToBarUnits(position));
}

void UpdateDialog::Refresh() {
    // The lines follow the bar at every refresh, so the window never holds a
    // bar and a size line from different moments.
    UpdateData(false);
    // No events are handled during a run, so the whole window is painted here,
    // which also mends what the question box covered. Coalesced, but a file's
    // last values are always shown.
    const bool fileDone = progress->Pos() >= progress->Upper();
    if (!fileDone && sinceRepaint.isValid() && sinceRepaint.elapsed() < repaintIntervalMs) return;
    repaint();
    sinceRepaint.start();
}

std::string UpdateDialog::Translate(const char* text) {
    return QCoreApplication::translate("UpdateEngine", text).toStdString();
}

bool UpdateDialog::AskYesNo(const std::string& text, const std::string& caption) {
    QWidget* owner = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    owner != nullptr ? owner : this);
    const bool yes = box.exec() == QMessageBox::Yes;
    // The box's area stays stale until the next transfer refresh otherwise.
    repaint();
    return yes;
}

void UpdateDialog::OnCheckLatest() {
    UpdateData(true);
    int result = UpdateSucceeded;
    std::string reason;
    try {
        EngineEnvironment environment;
        environment.programFolder = programFolder;
        UpdateEngine engine(environment);
        engine.AttachDialog(this);
        result = engine.RunUpdate(baseUrl);
        reason = engine.FailureReason();
    } catch (const std::exception& error) {
        // Reported as an unhandled error in a command would be; the dialog
        // stays. The run released everything it held on the way out.
        QMessageBox box(QMessageBox::Critical, windowTitle(), QString::fromStdString(error.what()),
                        QMessageBox::Ok, this);
        box.setObjectName("catalogError");
        box.exec();
        return;
    }
    if (closeWhenDone) {
        accept();
        return;
    }
    QMessageBox box(QMessageBox::Information, Shown(resultCaption),
                    Shown(ResultMessage(result).c_str()), QMessageBox::Ok, this);
    // The designed text first; below it what went wrong, so that a network
    // fault and an untrusted update read differently.
    if (result != UpdateSucceeded && !reason.empty())
        box.setInformativeText(QString::fromStdString(reason));
    box.setObjectName("resultMessage");
    box.exec();
}

void UpdateDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void UpdateDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(Shown(aboutMenuText), this, &UpdateDialog::ShowAbout);
    menu.exec(event->globalPos());
}
