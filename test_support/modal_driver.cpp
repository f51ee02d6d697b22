// Acting on modal windows and answering message boxes from inside their event loops.
#include "modal_driver.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>

#include <memory>

std::shared_ptr<bool> WhenModal(std::function<void(QWidget* window)> act, int timeoutMs) {
    auto done = std::make_shared<bool>(false);
    auto* timer = new QTimer(qApp);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, waited, done, act = std::move(act), timeoutMs] {
                         QWidget* window = QApplication::activePopupWidget();
                         if (window == nullptr) window = QApplication::activeModalWidget();
                         *waited += timer->interval();
                         if (window == nullptr && *waited < timeoutMs) return;
                         timer->stop();
                         timer->deleteLater();
                         if (window == nullptr) return;
                         *done = true;
                         act(window);
                     });
    timer->start(10);
    return done;
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : button(answer) {
    connect(&timer, &QTimer::timeout, this, &MessageBoxAnswerer::Poll);
    timer.start(10);
}

void MessageBoxAnswerer::Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    captions << box->windowTitle();
    texts << box->text();
    informativeTexts << box->informativeText();
    QAbstractButton* press = box->button(button);
    if (press == nullptr) press = box->defaultButton();
    if (press == nullptr) press = box->escapeButton();
    if (press != nullptr)
        press->click();
    else
        box->done(0);
}
