// Message box of the recognizer module.
#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

void ShowRecognizerMessage(const std::string& text) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("recognizerMessage");
    box.exec();
}
