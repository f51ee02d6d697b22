// Pictures of every window a person sees, for looking at before a release.
#pragma once

#include <QString>

class QWidget;

// Shows the window, lets it settle and writes it as a PNG.
void SaveWindow(QWidget* window, const QString& file);

void UpdaterScreenshots(const QString& folder);
// Opens the recognizer's parameter dialog through libmorlin.so as a host would.
void RecognizerScreenshots(const QString& folder, const QString& library);
// morlin-studio on the ORL faces in folder orl.
void StudioPhotoScreenshot(const QString& folder, const QString& orl);
void StudioScreenshots(const QString& folder, const QString& orl);
// morlin-studio with the model in file open, naming an ORL face in it.
void StudioModelScreenshot(const QString& folder, const QString& model, const QString& orl);
