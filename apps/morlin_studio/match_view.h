// morlin-studio's Recognize page: the probe beside the answer (the person,
// or unknown), the nearest people with their nearest enrolled image, and a
// table of the candidates with their scores.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

#include "morlin/identifier.h"

class QHBoxLayout;
class QLabel;
class QTableWidget;

class MatchView : public QWidget {
    Q_OBJECT

public:
    // The picture of an enrolled image by its position; a null image when
    // the studio has no picture of it (a model opened from a file).
    using Pictures = std::function<QImage(int image)>;

    explicit MatchView(QWidget* parent = nullptr);

    // Shows probe (named name) and the identifier's answer under threshold.
    void ShowAnswer(const QImage& probe, const QString& name, const morlin::Identification& answer,
                    double threshold, const Pictures& pictures);

private:
    QLabel* probeView;
    QLabel* probeName;
    QLabel* identity;
    QLabel* rate;
    QHBoxLayout* nearestStrip;
    QTableWidget* candidateTable;
};
