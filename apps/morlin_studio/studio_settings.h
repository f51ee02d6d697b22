// What morlin-studio keeps between sessions, in one place (QSettings): the
// model file it reopens, the last folder and how many images per person it
// enrolled, the settings the next training uses and the share of strangers
// last calibrated for. Every read has the default a first session gets.
#pragma once

#include <QSettings>
#include <QString>

#include "morlin/identifier.h"

class StudioSettings {
public:
    QString ModelFile() const;
    void SetModelFile(const QString& file);
    QString GalleryFolder() const;
    int PerPerson() const;
    void SetGallery(const QString& folder, int perPerson);
    double StrangerShare() const;
    void SetStrangerShare(double share);
    // The settings the next training uses; the identifier's defaults for any
    // not kept.
    morlin::Settings Next() const;
    void SetNext(const morlin::Settings& next);

private:
    QSettings kept;
};
