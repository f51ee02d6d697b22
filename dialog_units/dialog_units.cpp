// Dialog units to pixels, from the font's average character size.
#include "dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace {

// Multiplies then divides with rounding to nearest, as template conversion does.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = (letters / 26 + 1) / 2;
    baseY = metrics.height();
}

int DialogUnits::X(int units) const {
    return MulDiv(units, baseX, 4);
}

int DialogUnits::Y(int units) const {
    return MulDiv(units, baseY, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return {X(x), Y(y), X(width), Y(height)};
}

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const {
    widget->setGeometry(Rect(x, y, width, height));
}

void DialogUnits::PlaceText(QWidget* widget, int x, int y, int width, int height) const {
    QRect area = Rect(x, y, width, height);
    const QSize wanted = widget->sizeHint();
    area.setWidth(std::max(area.width(), wanted.width()));
    area.setHeight(std::max(area.height(), wanted.height()));
    widget->setGeometry(area);
}
