// The recognizer's modal parameter dialog. Its controls, texts, positions and
// the two fixed lists come from the template resource compiled into the
// library (:/morlin/parameter_dialog.json), ids as object names. The members
// are public, as the recognizer fills them before the dialog runs and reads
// them after OK.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

class ParameterDialog : public QDialog {
    Q_OBJECT

public:
    explicit ParameterDialog(QWidget* parent = nullptr);

    // Moves the members to the controls (false) or the controls to the members
    // (true), in the designed order. Reading stops at the first edit that does
    // not hold a number, after telling the user when report is set; the members
    // read before it keep their new values. Returns whether every control was read.
    bool UpdateData(bool saveAndValidate, bool report = true);
    // Enables the kernel list and edits for the kernel state, then writes the
    // members to the controls.
    void UpdateControls();

    int listSize = 0;
    QComboBox* componentCombo = nullptr;
    bool kernelOn = false;
    double coef0Value = 0.0;
    int degreeValue = 0;
    int kernelIndex = -1;
    int distanceIndex = -1;
    int componentIndex = -1;
    double gammaValue = 0.0;
    double thresholdValue = 0.0;

public slots:
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildFromTemplate();
    void InitDialog();
    void OnControlChanged();

    QCheckBox* kernelCheck = nullptr;
    QComboBox* kernelCombo = nullptr;
    QComboBox* distanceCombo = nullptr;
    QLineEdit* degreeEdit = nullptr;
    QLineEdit* coef0Edit = nullptr;
    QLineEdit* gammaEdit = nullptr;
    QLineEdit* thresholdEdit = nullptr;
    bool initialized = false;
};
