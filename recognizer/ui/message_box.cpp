// Message box of the recognizer module: a box only inside a QApplication and
// on its thread (a box elsewhere would block a worker on a window Qt forbids
// it to make); standard error otherwise.
#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

void ShowRecognizerMessage(const std::string& text) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("recognizerMessage");
    box.exec();
}
