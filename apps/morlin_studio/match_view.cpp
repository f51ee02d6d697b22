// The Recognize page: widgets, then the answer drawn into them.
#include "match_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "face_dataset.h"

namespace {

constexpr int thumbnailsShown = 6;
constexpr int probeScale = 2;
constexpr int missingPictureSize = 92;

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

QPixmap Scaled(const QImage& image, int factor) {
    return QPixmap::fromImage(
        image.scaled(image.size() * factor, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

MatchView::MatchView(QWidget* parent) : QWidget(parent) {
    // Widgets.
    probeView = new QLabel;
    probeView->setObjectName("probe");
    probeView->setAlignment(Qt::AlignCenter);
    probeView->setMinimumSize(200, 240);
    probeView->setFrameShape(QFrame::StyledPanel);
    probeName = new QLabel(tr("Open, drop or paste an image to recognize."));
    probeName->setWordWrap(true);
    identity = new QLabel;
    identity->setObjectName("identity");
    QFont big = identity->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    identity->setFont(big);
    identity->setAlignment(Qt::AlignCenter);
    rate = new QLabel;
    rate->setObjectName("strangerRate");
    rate->setAlignment(Qt::AlignCenter);
    rate->setWordWrap(true);
    candidateTable = new QTableWidget(0, 3);
    candidateTable->setObjectName("candidates");
    candidateTable->setHorizontalHeaderLabels({tr("Rank"), tr("Person"), tr("Score")});
    // Rank and person as wide as their texts, the score the rest: resize
    // modes hold at every answer, where resizing to the contents after the
    // table is shown undid the stretch of the last column.
    candidateTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    candidateTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    candidateTable->verticalHeader()->hide();
    candidateTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    candidateTable->setSelectionBehavior(QAbstractItemView::SelectRows);

    // Layout.
    auto* probeColumn = new QVBoxLayout;
    probeColumn->addWidget(probeView);
    probeColumn->addWidget(probeName);
    probeColumn->addWidget(identity);
    probeColumn->addWidget(rate);
    probeColumn->addStretch();
    auto* nearestBox = new QVBoxLayout;
    nearestBox->addWidget(
        new QLabel(tr("The nearest people, each by their nearest enrolled image:")));
    nearestStrip = new QHBoxLayout;
    nearestStrip->addStretch();
    nearestBox->addLayout(nearestStrip);
    nearestBox->addWidget(
        new QLabel(tr("Candidates, nearest first (a lower score is more alike):")));
    nearestBox->addWidget(candidateTable, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(probeColumn);
    layout->addLayout(nearestBox, 1);
}

void MatchView::ShowAnswer(const QImage& probe, const QString& name,
                           const morlin::Identification& answer, double threshold,
                           const Pictures& pictures) {
    while (nearestStrip->count() > 1) {
        QLayoutItem* item = nearestStrip->takeAt(0);
        delete item->widget();
        delete item;
    }
    probeView->setPixmap(Scaled(probe, probeScale));
    probeName->setText(name);
    if (answer.person) {
        identity->setText(Shown(*answer.person));
        identity->setStyleSheet(QStringLiteral("color: #107030"));
        identity->setToolTip(
            tr("score %1, under the threshold %2").arg(answer.score).arg(threshold));
    } else {
        identity->setText(tr("unknown"));
        identity->setStyleSheet(QStringLiteral("color: #707070"));
        identity->setToolTip(
            tr("Nobody scores under the threshold %1: this face gets no name.").arg(threshold));
    }
    rate->setText(
        std::isnan(answer.strangerRate)
            ? tr("Calibrate for strangers to see how many strangers come this close.")
            : tr("%1 % of strangers come this close.").arg(answer.strangerRate * 100.0, 0, 'g', 3));
    for (size_t k = 0; k < answer.candidates.size() && k < thumbnailsShown; ++k) {
        const morlin::Candidate& candidate = answer.candidates[k];
        auto* tile = new QLabel;
        const QImage picture = pictures ? pictures(candidate.image) : QImage();
        if (picture.isNull()) {
            tile->setText(tr("(no picture)"));
            tile->setFixedSize(missingPictureSize, missingPictureSize);
            tile->setAlignment(Qt::AlignCenter);
            tile->setFrameShape(QFrame::StyledPanel);
        } else {
            tile->setPixmap(QPixmap::fromImage(picture));
        }
        auto* box = new QWidget;
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->addWidget(tile, 0, Qt::AlignCenter);
        auto* caption =
            new QLabel(QStringLiteral("%1%2\n%3")
                           .arg(k == 0 && answer.person ? QStringLiteral("★ ") : QString())
                           .arg(Shown(candidate.person))
                           .arg(candidate.score, 0, 'g', 4));
        caption->setAlignment(Qt::AlignCenter);
        boxLayout->addWidget(caption);
        nearestStrip->insertWidget(static_cast<int>(k), box);
    }
    candidateTable->setRowCount(static_cast<int>(answer.candidates.size()));
    for (size_t k = 0; k < answer.candidates.size(); ++k) {
        const morlin::Candidate& candidate = answer.candidates[k];
        const QStringList cells{QString::number(k + 1), Shown(candidate.person),
                                QString::number(candidate.score, 'g', 6)};
        for (int c = 0; c < cells.size(); ++c)
            candidateTable->setItem(static_cast<int>(k), c, new QTableWidgetItem(cells[c]));
    }
}
