
// Pictures of the updater's windows: the update dialog before a run and in the
// middle of a real transfer, the About box, and a sheet of progress-bar styles.
#include "screenshots.h"

#include <QGridLayout>
#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

#include <filesystem>
#include <string>

#include "catalog/catalog_file.h"
#include "temp_folder.h"
#include "modal_driver.h"
#include "ui/about_dialog.h"
#include "ui/text_progress_ctrl.h"
#include "ui/update_dialog.h"
#include "update_server.h"
#include "ui/update_dialog_ids.h"

namespace {

// The dialog as a run owner that says Yes and photographs itself once the
// transfer is half-way.
class PhotographedDialog : public UpdateDialog {
public:
    PhotographedDialog(const std::string& site, const std::filesystem::path& folder,
                       const QString& file)
        : UpdateDialog(site, folder), picture(file) {}

    void Refresh() override {
        UpdateDialog::Refresh();
        auto* bar = findChild<TextProgressCtrl*>(update_dialog_id::progress);
        if (!taken && bar->Upper() > 0 && bar->Pos() * 2 >= bar->Upper()) {
            SaveWindow(this, picture);
            taken = true;
        }
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }

private:
    QString picture;
    bool taken = false;
};

TextProgressCtrl* StyledBar(QWidget* parent, int style, int position, const QString& title = {}) {
    auto* bar = new TextProgressCtrl(parent);
    bar->SetControlStyle(style);
    bar->SetBordered(true);
    bar->setWindowTitle(title);
    bar->SetRange(0, 100);
    bar->SetPos(position);
    bar->setMinimumSize((style & TextProgressCtrl::PBS_VERTICAL) ? QSize(28, 140) : QSize(260, 24));
    return bar;
}

void ProgressSheet(const QString& folder) {
    QWidget sheet;
    auto* grid = new QGridLayout(&sheet);
    int row = 0;
    auto add = [&](const QString& name, QWidget* bar) {
        grid->addWidget(new QLabel(name, &sheet), row, 0);
        grid->addWidget(bar, row++, 1, Qt::AlignLeft);
    };
    add("default", StyledBar(&sheet, 0, 60));
    auto* ramp = StyledBar(&sheet, 0, 100);
    ramp->SetBarColor(QColor(0, 0, 160), QColor(120, 220, 255));
    add("two-colour ramp", ramp);
    add("percent, half", StyledBar(&sheet, TextProgressCtrl::TPS_PERCENT, 50));
    auto* stretched =
        StyledBar(&sheet, TextProgressCtrl::TPS_STRETCH | TextProgressCtrl::TPS_POSITION, 70);
    stretched->SetBarColor(QColor(200, 0, 0), QColor(255, 220, 0));
    add("stretched ramp, position", stretched);
    auto* reversed =
        StyledBar(&sheet, TextProgressCtrl::TPS_REVERSED | TextProgressCtrl::TPS_PERCENT, 40);
    reversed->SetBarColor(QColor(0, 120, 0), QColor(180, 255, 180));
    add("reversed", reversed);
    auto* snake = StyledBar(&sheet, TextProgressCtrl::TPS_SNAKE, 0);
    for (int i = 0; i < 8; ++i) snake->StepIt();
    add("snake", snake);
    auto* tied = StyledBar(&sheet,
                           TextProgressCtrl::TPS_TIEDTEXT | TextProgressCtrl::TPS_TEXTONLY |
                               TextProgressCtrl::TPS_ALIGNRIGHT,
                           65, "Progress1");
    add("tied text, right", tied);
    auto* vertical =
        StyledBar(&sheet, TextProgressCtrl::PBS_VERTICAL | TextProgressCtrl::TPS_PERCENT, 75);
    vertical->SetBarColor(QColor(60, 0, 120), QColor(255, 160, 255));
    grid->addWidget(new QLabel("vertical", &sheet), 0, 2);
    grid->addWidget(vertical, 1, 2, row - 1, 1);
    SaveWindow(&sheet, folder + "/progress-styles.png");
}

}  // namespace

void UpdaterScreenshots(const QString& folder) {
    TempFolder site;
    const std::filesystem::path program = site.Path() / "program";
    std::filesystem::create_directories(program);
    CreateCatalog(program);
    UpdateServer server;
    server.Put("autoupdate.txt",
               "[Main]\r\nfilecount=1\r\n[File1]\r\nfilename=libdetector.so\r\n"
               "version=2.1\r\nmoduletype=1\r\nauthor=Dorsk\r\nmodulename=detector\r\n");
    server.Put("libdetector.so", std::string(3 << 20, 'x'));

    {
        UpdateDialog before(server.BaseUrl(), program);
        SaveWindow(&before, folder + "/update-dialog.png");
    }
    {
        PhotographedDialog during(server.BaseUrl(), program,
                                  folder + "/update-dialog-transfer.png");
        during.show();
        auto* close = during.findChild<QWidget*>(update_dialog_id::closeWhenDone);
        static_cast<QAbstractButton*>(close)->setChecked(false);
        // The result message would wait for a person; the picture is taken by then.
        MessageBoxAnswerer answerer;
        during.OnCheckLatest();
    }
    AboutDialog about;
    SaveWindow(&about, folder + "/about-dialog.png");
    ProgressSheet(folder);
}
