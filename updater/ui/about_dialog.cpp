
// The About box, template 100.
#include "ui/about_dialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "dialog_units.h"
#include "ui/updater_texts.h"
#include "ui/update_dialog_ids.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    const DialogUnits units(font());

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName("icon");
    iconLabel->setPixmap(QIcon(programIconPath).pixmap(32, 32));
    // An icon static takes the icon's size at the template's corner.
    iconLabel->setGeometry(units.X(11), units.Y(17), 32, 32);

    auto* versionLabel = new QLabel(Shown(aboutText), this);
    versionLabel->setObjectName("version");
    versionLabel->setTextFormat(Qt::PlainText);
    units.PlaceText(versionLabel, 40, 10, 119, 8);

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(about_dialog_id::ok);
    okButton->setDefault(true);
    units.Place(okButton, 178, 7, 50, 14);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    setWindowTitle(Shown(aboutDialogTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(units.X(235), units.Y(55));
}
