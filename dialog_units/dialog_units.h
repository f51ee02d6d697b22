// Dialog templates are laid out in dialog units: a quarter of the dialog
// font's average character width across, an eighth of its height down. This
// converts them to pixels the way the template's own system would, so that a
// dialog keeps its proportions whatever font the desktop gives it.
#pragma once

#include <QRect>

class QFont;
class QWidget;

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    // A template rectangle (x, y, width, height in dialog units) in pixels.
    QRect Rect(int x, int y, int width, int height) const;
    // Places widget at the template rectangle.
    void Place(QWidget* widget, int x, int y, int width, int height) const;
    // Places a text control, widened to its text where the desktop's font is
    // wider than the one the template was drawn with, so nothing is clipped.
    void PlaceText(QWidget* widget, int x, int y, int width, int height) const;

    int BaseX() const { return baseX; }
    int BaseY() const { return baseY; }

private:
    int baseX;  // average width of the 52 Latin letters, rounded
    int baseY;  // line height of the font
};
