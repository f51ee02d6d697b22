// The updater's one window: a button that starts an update run, the progress
// bar and two lines that the run writes while it transfers files, and the
// check box that closes the dialog when a run ends. The dialog is the run's
// owner; the run executes inside the button's handler on the UI thread, and
// the dialog repaints itself synchronously as the transfer reports.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>

#include <filesystem>
#include <string>

#include "engine/update_owner.h"

class QCheckBox;
class QLabel;
class QPushButton;
class TextProgressCtrl;

class UpdateDialog : public QDialog, public UpdateOwner {
    Q_OBJECT

public:
    // baseUrl: the update site, ending in "/"; programFolder: where the
    // modules and the catalogue live.
    UpdateDialog(std::string baseUrl, std::filesystem::path programFolder,
                 QWidget* parent = nullptr);
    ~UpdateDialog() override;

    // Moves the members to the controls (false) or the controls to the members (true).
    void UpdateData(bool saveAndValidate);

    // UpdateOwner
    void SetStatusText(const std::string& text) override;
    void SetSizeText(const std::string& text) override;
    void SetProgressRange(uint64_t lower, uint64_t upper) override;
    void SetProgressPos(uint64_t position) override;
    void Refresh() override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // The run's texts in the desktop's language.
    std::string Translate(const char* text) override;

public slots:
    // One update run, then the result message or the dialog closing.
    void OnCheckLatest();
    void ShowAbout();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Repaints at most this often during a transfer, except at a file's end.
    static constexpr int repaintIntervalMs = 16;

    TextProgressCtrl* progress;
    QString statusText;
    QString sizeText;
    bool closeWhenDone = true;
    QIcon icon;

    QPushButton* checkButton;
    QLabel* statusLabel;
    QLabel* sizeLabel;
    QCheckBox* closeCheck;

    std::string baseUrl;
    std::filesystem::path programFolder;
    QElapsedTimer sinceRepaint;
};
