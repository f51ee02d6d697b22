// Drawing the photo and its faces; the photo scaled to the widget, the boxes
// with it, a label above each.
#include "photo_view.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor namedColour(46, 125, 50);
const QColor strangerColour(239, 108, 0);

}  // namespace

PhotoView::PhotoView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PhotoView::sizeHint() const {
    return {480, 360};
}

void PhotoView::Show(const QImage& shown, const std::vector<Shown>& found) {
    photo = shown;
    faces = found;
    chosen = faces.empty() ? -1 : 0;
    update();
}

void PhotoView::Choose(int face) {
    if (face < 0 || face >= Faces() || face == chosen) return;
    chosen = face;
    update();
    emit FaceChosen(face);
}

QRectF PhotoView::Frame() const {
    if (photo.isNull()) return {};
    const double scale =
        std::min(double(width()) / photo.width(), double(height()) / photo.height());
    const QSizeF size(photo.width() * scale, photo.height() * scale);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void PhotoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (photo.isNull()) return;
    const QRectF frame = Frame();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frame, photo);
    const double scale = frame.width() / photo.width();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (int k = 0; k < Faces(); ++k) {
        const Shown& face = faces[static_cast<size_t>(k)];
        const QColor colour = face.name.isEmpty() ? strangerColour : namedColour;
        const QRectF box(frame.left() + face.box.x * scale, frame.top() + face.box.y * scale,
                         face.box.width * scale, face.box.height * scale);
        painter.setPen(QPen(colour, k == chosen ? 4 : 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
        const QString text = face.name.isEmpty() ? tr("unknown") : face.name;
        QRectF label(0, 0, metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
        label.moveBottomLeft(box.topLeft());
        if (label.top() < 0) label.moveTopLeft(box.bottomLeft());
        painter.fillRect(label, colour);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, text);
    }
}

void PhotoView::mousePressEvent(QMouseEvent* event) {
    const QRectF frame = Frame();
    if (frame.isEmpty()) return;
    const double scale = frame.width() / photo.width();
    const QPointF at = (event->position() - frame.topLeft()) / scale;
    // The smallest face under the click: a face inside another's box wins.
    int hit = -1;
    for (int k = 0; k < Faces(); ++k) {
        const morlin::Box& b = faces[static_cast<size_t>(k)].box;
        if (QRectF(b.x, b.y, b.width, b.height).contains(at) &&
            (hit < 0 || b.width < faces[static_cast<size_t>(hit)].box.width))
            hit = k;
    }
    if (hit >= 0) Choose(hit);
}
