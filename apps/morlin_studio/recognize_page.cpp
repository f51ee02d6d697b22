// The Recognize page: the photo view and the match view, kept on one face.
#include "recognize_page.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "face_dataset.h"
#include "photo_view.h"

RecognizePage::RecognizePage(QWidget* parent) : QWidget(parent) {
    // Widgets.
    photoView = new PhotoView;
    photoView->setObjectName("photo");
    matchView = new MatchView;
    facesLine = new QLabel(tr("Open, drop or paste a photo: every face in it is named."));
    facesLine->setObjectName("facesLine");
    facesLine->setWordWrap(true);

    // Connections.
    connect(photoView, &PhotoView::FaceChosen, this, &RecognizePage::ShowFace);

    // Layout.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(photoView);
    splitter->addWidget(matchView);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(facesLine);
    layout->addWidget(splitter, 1);
}

void RecognizePage::Show(const QImage& picture, const QString& shownName,
                         const std::vector<morlin::FaceIdentification>& found,
                         const std::vector<QImage>& faceCrops, double used,
                         const MatchView::Pictures& enrolled) {
    name = shownName;
    answers = found;
    crops = faceCrops;
    threshold = used;
    pictures = enrolled;
    std::vector<PhotoView::Shown> shown;
    int named = 0;
    for (const morlin::FaceIdentification& answer : answers) {
        const std::optional<std::string>& person = answer.identification.person;
        named += person ? 1 : 0;
        shown.push_back(
            {answer.face.box, person ? QString::fromStdString(DisplayName(*person)) : QString()});
    }
    photoView->Show(picture, shown);
    if (answers.empty())
        facesLine->setText(tr("No face found in %1.").arg(name));
    else if (answers.size() == 1)
        facesLine->setText(tr("%1: one face, %2 named.").arg(name).arg(named));
    else
        facesLine->setText(tr("%1: %2 faces, %3 named; click a face to see its candidates.")
                               .arg(name)
                               .arg(answers.size())
                               .arg(named));
    if (!answers.empty()) ShowFace(0);
}

void RecognizePage::ShowFace(int k) {
    if (k < 0 || static_cast<size_t>(k) >= answers.size()) return;
    photoView->Choose(k);
    const QString which = answers.size() > 1
                              ? tr("%1, face %2 of %3").arg(name).arg(k + 1).arg(answers.size())
                              : name;
    matchView->ShowAnswer(crops[static_cast<size_t>(k)], which,
                          answers[static_cast<size_t>(k)].identification, threshold, pictures);
}
