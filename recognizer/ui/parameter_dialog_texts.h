// The texts of the parameter dialog's template (resources/parameter_dialog.json),
// marked for the translation tools, which do not read the template. The
// dialog shows each translated in the scope "ParameterDialog" as it builds
// the control; the tests hold this list and the template together.
#pragma once

#include <QtGlobal>

inline constexpr const char* parameterDialogTexts[] = {
    QT_TRANSLATE_NOOP("ParameterDialog", "识别算法参数设置"),
    QT_TRANSLATE_NOOP("ParameterDialog", "KPCA"),
    QT_TRANSLATE_NOOP("ParameterDialog", "KPCA参数"),
    QT_TRANSLATE_NOOP("ParameterDialog", "核类型"),
    QT_TRANSLATE_NOOP("ParameterDialog", "degree"),
    QT_TRANSLATE_NOOP("ParameterDialog", "coef0"),
    QT_TRANSLATE_NOOP("ParameterDialog", "gamma"),
    QT_TRANSLATE_NOOP("ParameterDialog", "主成分数"),
    QT_TRANSLATE_NOOP("ParameterDialog", "距离测度"),
    QT_TRANSLATE_NOOP("ParameterDialog", "距离阈值"),
    QT_TRANSLATE_NOOP("ParameterDialog", "确定"),
    QT_TRANSLATE_NOOP("ParameterDialog", "取消"),
};
