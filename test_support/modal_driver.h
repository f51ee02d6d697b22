// Drives modal windows from inside their own event loop, so that a test or a
// tool can open a dialog, a message box or a menu with exec() and still act on
// it. Nothing here waits for a person: a window that never appears fails the
// step after its time limit, and a message box is always answered.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Runs act once on the next popup menu or modal window that opens (polled
// every 10 ms). Returns a flag that turns true when act has run; after
// timeoutMs without a window the step is dropped and the flag stays false.
std::shared_ptr<bool> WhenModal(std::function<void(QWidget* window)> act, int timeoutMs = 10000);

// Answers every message box that opens while it lives, with `button` when the
// box has it and with its default (else escape) button otherwise, and keeps
// each box's caption, text and informative text.
class MessageBoxAnswerer : public QObject {
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button = QMessageBox::NoButton);

    const QStringList& Captions() const { return captions; }
    const QStringList& Texts() const { return texts; }
    const QStringList& InformativeTexts() const { return informativeTexts; }

private:
    void Poll();

    QMessageBox::StandardButton button;
    QTimer timer;
    QStringList captions;
    QStringList texts;
    QStringList informativeTexts;
};
