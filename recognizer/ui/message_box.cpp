// Message box of the recognizer module, in the desktop's language: a box only
// inside a QApplication and on its thread (a box elsewhere would block a
// worker on a window Qt forbids it to make); standard error otherwise.
#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

#include "ui/recognizer_language.h"

void ShowRecognizerMessage(const RecognizerMessage& message) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        std::fprintf(stderr, "%s\n", message.Plain().c_str());
        std::fflush(stderr);
        return;
    }
    QString text = RecognizerText("Recognizer", message.text);
    if (text.contains(QStringLiteral("%1")))
        text = text.arg(QString::fromStdString(message.argument));
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("recognizerMessage");
    box.exec();
}
