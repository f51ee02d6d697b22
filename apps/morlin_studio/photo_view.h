// morlin-studio's picture of a recognition: the photo (or crop) with every
// face boxed, green when named, orange when unknown, the chosen face drawn
// bolder; a click on a face chooses it.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

#include "morlin/faces.h"

class PhotoView : public QWidget {
    Q_OBJECT

public:
    struct Shown {
        morlin::Box box;
        QString name;  // empty: unknown
    };

    explicit PhotoView(QWidget* parent = nullptr);

    // Shows photo with faces; the first (the largest) chosen.
    void Show(const QImage& photo, const std::vector<Shown>& faces);
    void Choose(int face);
    int Chosen() const { return chosen; }
    int Faces() const { return static_cast<int>(faces.size()); }
    QSize sizeHint() const override;

signals:
    void FaceChosen(int face);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Where the photo is drawn: scaled to fit, centred.
    QRectF Frame() const;

    QImage photo;
    std::vector<Shown> faces;
    int chosen = -1;
};
