// Reading and filling the recognizer's parameter dialog by its control ids.
#include "parameter_bridge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace {

template <typename Control>
Control* Find(const QWidget* dialog, const char* id) {
    return dialog->findChild<Control*>(QLatin1String(id));
}

double Number(const QWidget* dialog, const char* id, double otherwise) {
    bool ok = false;
    const double value = Find<QLineEdit>(dialog, id)->text().trimmed().toDouble(&ok);
    return ok ? value : otherwise;
}

}  // namespace

bool IsParameterDialog(const QObject* object) {
    return object != nullptr && object->isWidgetType() &&
           qstrcmp(object->metaObject()->className(), "ParameterDialog") == 0;
}

PCAParameter ParametersOf(const QWidget* dialog, const PCAParameter& before) {
    PCAParameter p = before;
    p.isKernel = Find<QCheckBox>(dialog, "1018")->isChecked();
    p.coef0 = Number(dialog, "1002", before.coef0);
    p.degree = static_cast<int>(Number(dialog, "1014", before.degree));
    p.kernelType = Find<QComboBox>(dialog, "1020")->currentIndex();
    p.distanceType = Find<QComboBox>(dialog, "1012")->currentIndex();
    const int component = Find<QComboBox>(dialog, "1011")->currentIndex();
    if (component >= 0) p.componentNum = component + 1;
    p.gamma = Number(dialog, "1015", before.gamma);
    p.threshold = Number(dialog, "1021", before.threshold);
    return p;
}

void AcceptWith(QWidget* dialog, const PCAParameter& p) {
    Find<QCheckBox>(dialog, "1018")->setChecked(p.isKernel);
    Find<QLineEdit>(dialog, "1002")->setText(QString::number(p.coef0, 'g', 17));
    Find<QLineEdit>(dialog, "1014")->setText(QString::number(static_cast<int>(p.degree)));
    Find<QComboBox>(dialog, "1020")->setCurrentIndex(p.kernelType);
    Find<QComboBox>(dialog, "1012")->setCurrentIndex(p.distanceType);
    Find<QComboBox>(dialog, "1011")->setCurrentIndex(p.componentNum - 1);
    Find<QLineEdit>(dialog, "1015")->setText(QString::number(p.gamma, 'g', 17));
    Find<QLineEdit>(dialog, "1021")->setText(QString::number(p.threshold, 'g', 17));
    Find<QPushButton>(dialog, "1")->click();
}
