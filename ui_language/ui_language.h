// The desktop's language. Each program's texts are written in one language
// (the updater's and the recognizer's in Chinese, the studio's in English)
// and translated into the other; the translations are compiled into the
// program as ":/i18n/CATALOGUE_LANGUAGE.qm". A locale whose language has a
// translation shows it; any other locale (C, C.UTF-8, or the source language
// itself) shows the source texts. Qt's own texts (Yes, No, Cancel) follow the
// locale's language wherever it is neither C nor English.
#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

// Installs into app the translation of catalogue for locale, and Qt's own
// texts in locale's language. Installs each once per application, so a
// module may call it on every use.
// Returns whether a translation of catalogue is in place.
bool InstallTranslation(QCoreApplication& app, const QString& catalogue,
                        const QLocale& locale = QLocale::system());
