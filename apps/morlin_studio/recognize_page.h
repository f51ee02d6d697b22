// morlin-studio's Recognize page: the picture with its faces boxed and named
// above, and below the chosen face beside its answer (MatchView).
#pragma once

#include <QImage>
#include <QWidget>

#include <vector>

#include "match_view.h"
#include "morlin/identifier.h"

class PhotoView;
class QLabel;

class RecognizePage : public QWidget {
    Q_OBJECT

public:
    explicit RecognizePage(QWidget* parent = nullptr);

    // Shows picture (named name) and the answer for each of its faces: faces
    // the face of each, crops the face as the model compared it.
    void Show(const QImage& picture, const QString& name,
              const std::vector<morlin::FaceIdentification>& answers,
              const std::vector<QImage>& crops, double threshold,
              const MatchView::Pictures& pictures);
    // Shows the answer for face k.
    void ShowFace(int k);

private:
    PhotoView* photoView;
    MatchView* matchView;
    QLabel* facesLine;
    QString name;
    std::vector<morlin::FaceIdentification> answers;
    std::vector<QImage> crops;
    double threshold = 0.0;
    MatchView::Pictures pictures;
};
