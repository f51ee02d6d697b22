// The parameter dialog built from its template, its data exchange and enabling rules.
#include "ui/parameter_dialog.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <iterator>

#include "dialog_units.h"
#include "morlin/morlin_records.h"
#include "ui/parameter_dialog_ids.h"
#include "ui/recognizer_language.h"

namespace {

constexpr const char* templatePath = ":/morlin/parameter_dialog.json";

// The framework's standard messages for an edit that does not parse.
constexpr const char* notANumber = QT_TRANSLATE_NOOP("ParameterDialog", "Please enter a number.");
constexpr const char* notAnInteger =
    QT_TRANSLATE_NOOP("ParameterDialog", "Please enter an integer.");

// A text of the template in the desktop's language (parameter_dialog_texts.h).
QString Translated(const QString& text) {
    return text.isEmpty() ? text : RecognizerText("ParameterDialog", text.toUtf8().constData());
}

void WriteIndex(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

}  // namespace

ParameterDialog::ParameterDialog(QWidget* parent) : QDialog(parent) {
    BuildFromTemplate();
    componentCombo = findChild<QComboBox*>(parameter_dialog_id::components);
    kernelCheck = findChild<QCheckBox*>(parameter_dialog_id::kernelOn);
    kernelCombo = findChild<QComboBox*>(parameter_dialog_id::kernel);
    distanceCombo = findChild<QComboBox*>(parameter_dialog_id::distance);
    degreeEdit = findChild<QLineEdit*>(parameter_dialog_id::degree);
    coef0Edit = findChild<QLineEdit*>(parameter_dialog_id::coef0);
    gammaEdit = findChild<QLineEdit*>(parameter_dialog_id::gamma);
    thresholdEdit = findChild<QLineEdit*>(parameter_dialog_id::threshold);

    connect(kernelCheck, &QCheckBox::clicked, this, &ParameterDialog::OnControlChanged);
    // activated: a user's choice only, not the selection UpdateData writes.
    connect(kernelCombo, &QComboBox::activated, this, &ParameterDialog::OnControlChanged);
    connect(findChild<QPushButton*>(parameter_dialog_id::ok), &QPushButton::clicked, this,
            &ParameterDialog::accept);
    connect(findChild<QPushButton*>(parameter_dialog_id::cancel), &QPushButton::clicked, this,
            &ParameterDialog::reject);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

void ParameterDialog::BuildFromTemplate() {
    QFile file(templatePath);
    file.open(QIODevice::ReadOnly);
    const QJsonObject dialog = QJsonDocument::fromJson(file.readAll()).object();
    const DialogUnits units(font());

    for (const QJsonValue& entry : dialog["controls"].toArray()) {
        const QJsonObject control = entry.toObject();
        const QJsonArray rect = control["rect"].toArray();
        const int x = rect[0].toInt(), y = rect[1].toInt(), w = rect[2].toInt(),
                  h = rect[3].toInt();
        const QString kind = control["kind"].toString();
        const QString text = Translated(control["text"].toString());
        QWidget* widget = nullptr;
        if (kind == "check") {
            widget = new QCheckBox(text, this);
            units.PlaceText(widget, x, y, w, h);
        } else if (kind == "group") {
            widget = new QGroupBox(text, this);
            units.Place(widget, x, y, w, h);
        } else if (kind == "label") {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            widget = label;
            units.PlaceText(widget, x, y, w, h);
        } else if (kind == "list") {
            auto* combo = new QComboBox(this);
            QStringList items;
            for (const QJsonValue& item : control["items"].toArray()) items << item.toString();
            // The distance list is the recognizer's own table of measures.
            if (control["itemsFrom"].toString() == "distanceMeasures")
                for (const DistanceMeasureEntry& measure : distanceMeasures)
                    items << QString::fromUtf8(measure.listText.data(),
                                               static_cast<qsizetype>(measure.listText.size()));
            if (control["sorted"].toBool()) std::sort(items.begin(), items.end());
            combo->addItems(items);
            // The dropped list shows whole texts even where the box cuts them,
            // and so does the box's tool tip for the chosen one.
            combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 8);
            combo->setToolTip(combo->currentText());
            connect(combo, &QComboBox::currentTextChanged, combo, &QComboBox::setToolTip);
            widget = combo;
            // The template's height is that of the dropped list.
            widget->setGeometry(units.X(x), units.Y(y), units.X(w), combo->sizeHint().height());
        } else if (kind == "edit") {
            widget = new QLineEdit(this);
            units.Place(widget, x, y, w, h);
        } else if (kind == "button") {
            auto* button = new QPushButton(text, this);
            button->setDefault(control["default"].toBool());
            button->setAutoDefault(false);
            widget = button;
            units.Place(widget, x, y, w, h);
        }
        if (widget != nullptr && control.contains("id"))
            widget->setObjectName(control["id"].toString());
    }
    const QJsonArray size = dialog["size"].toArray();
    setWindowTitle(Translated(dialog["title"].toString()));
    setFixedSize(units.X(size[0].toInt()), units.Y(size[1].toInt()));
}

bool ParameterDialog::UpdateData(bool saveAndValidate, bool report) {
    auto readDouble = [&](QLineEdit* edit, double& value) {
        bool ok = false;
        const double parsed = edit->text().trimmed().toDouble(&ok);
        if (ok) value = parsed;
        return ok;
    };
    auto readInt = [&](QLineEdit* edit, int& value) {
        bool ok = false;
        const int parsed = edit->text().trimmed().toInt(&ok);
        if (ok) value = parsed;
        return ok;
    };
    auto fail = [&](QLineEdit* edit, const char* message) {
        if (report) {
            QMessageBox::warning(this, windowTitle(), RecognizerText("ParameterDialog", message));
            edit->setFocus();
            edit->selectAll();
        }
        return false;
    };

    if (!saveAndValidate) {
        kernelCheck->setChecked(kernelOn);
        coef0Edit->setText(QString::number(coef0Value, 'g', 15));
        degreeEdit->setText(QString::number(degreeValue));
        WriteIndex(kernelCombo, kernelIndex);
        WriteIndex(distanceCombo, distanceIndex);
        WriteIndex(componentCombo, componentIndex);
        gammaEdit->setText(QString::number(gammaValue, 'g', 15));
        thresholdEdit->setText(QString::number(thresholdValue, 'g', 15));
        // A number longer than its edit shows its beginning, as the edits of
        // the original dialog do, not its last digits.
        for (QLineEdit* edit : {coef0Edit, degreeEdit, gammaEdit, thresholdEdit})
            edit->setCursorPosition(0);
        return true;
    }
    kernelOn = kernelCheck->isChecked();
    if (!readDouble(coef0Edit, coef0Value)) return fail(coef0Edit, notANumber);
    if (!readInt(degreeEdit, degreeValue)) return fail(degreeEdit, notAnInteger);
    kernelIndex = kernelCombo->currentIndex();
    distanceIndex = distanceCombo->currentIndex();
    componentIndex = componentCombo->currentIndex();
    if (!readDouble(gammaEdit, gammaValue)) return fail(gammaEdit, notANumber);
    if (!readDouble(thresholdEdit, thresholdValue)) return fail(thresholdEdit, notANumber);
    return true;
}

void ParameterDialog::UpdateControls() {
    // Which kernel edits each kernel uses: degree, gamma, coef0.
    struct Edits {
        bool degree, gamma, coef0;
    };
    static constexpr Edits byKernel[] = {
        {false, false, false},  // linear
        {true, true, true},     // polynomial
        {false, true, false},   // rbf
        {false, true, true},    // sigmoid
    };
    kernelCombo->setEnabled(kernelOn);
    if (!kernelOn) {
        for (QLineEdit* edit : {degreeEdit, gammaEdit, coef0Edit}) edit->setEnabled(false);
    } else if (kernelIndex >= 0 && kernelIndex < static_cast<int>(std::size(byKernel))) {
        const Edits& edits = byKernel[kernelIndex];
        degreeEdit->setEnabled(edits.degree);
        gammaEdit->setEnabled(edits.gamma);
        coef0Edit->setEnabled(edits.coef0);
    } else {
        // No kernel selected: gamma and coef0 stay as they are.
        degreeEdit->setEnabled(false);
    }
    UpdateData(false);
}

void ParameterDialog::InitDialog() {
    UpdateData(false);
    for (int i = 1; i <= listSize; ++i) componentCombo->addItem(QString::number(i));
    UpdateControls();
}

void ParameterDialog::showEvent(QShowEvent* event) {
    if (!initialized) {
        initialized = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void ParameterDialog::OnControlChanged() {
    UpdateData(true);
    UpdateControls();
}

void ParameterDialog::accept() {
    if (UpdateData(true)) QDialog::accept();
}

void ParameterDialog::done(int result) {
    // The last read as the window goes; quiet, since a message about an edit
    // the user has just cancelled would make no sense.
    UpdateData(true, false);
    QDialog::done(result);
}
