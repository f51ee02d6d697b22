// Drawing boxes and names with QPainter: the label sits above the box (below
// it when the box touches the top), sized to the face so a small face's name
// stays readable and a large one's does not cover it.
#include "annotation.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>

#include "face_dataset.h"

namespace {

const QColor namedColour(46, 125, 50);     // green
const QColor strangerColour(239, 108, 0);  // orange

}  // namespace

QImage Annotated(const QImage& photo, const std::vector<NamedFace>& faces) {
    QImage drawn = photo.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const NamedFace& face : faces) {
        const QColor colour = face.person ? namedColour : strangerColour;
        const QRect box(face.box.x, face.box.y, face.box.width, face.box.height);
        const int line = std::max(2, face.box.width / 40);
        painter.setPen(QPen(colour, line));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);

        QFont font = painter.font();
        font.setPixelSize(std::clamp(face.box.width / 6, 12, 48));
        font.setBold(true);
        painter.setFont(font);
        const QString text = face.person ? QString::fromStdString(DisplayName(*face.person))
                                         : QStringLiteral("unknown");
        const QFontMetrics metrics(font);
        const int padding = std::max(2, font.pixelSize() / 5);
        QRect label(0, 0, metrics.horizontalAdvance(text) + 2 * padding,
                    metrics.height() + 2 * padding);
        label.moveBottomLeft(QPoint(box.left() - line / 2, box.top() - line / 2));
        if (label.top() < 0) label.moveTopLeft(QPoint(box.left() - line / 2, box.bottom() + line));
        painter.fillRect(label, colour);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, text);
    }
    return drawn;
}
