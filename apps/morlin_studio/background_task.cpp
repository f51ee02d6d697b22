// One background task at a time, on a QThread.
#include "background_task.h"

#include <QThread>

#include <memory>
#include <string>

#include "face_dataset.h"
#include "morlin/morlin_error.h"

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
    Wait();
}

void BackgroundTask::Wait() {
    if (thread != nullptr) thread->wait();
}

bool BackgroundTask::Start(const QString& what, Work work, Finish finish) {
    if (thread != nullptr) return false;
    cancelled = false;
    auto succeeded = std::make_shared<bool>(false);
    const Progress progress = [this](int done, int total, const std::string& step) {
        const QString text = QString::fromStdString(step);
        QMetaObject::invokeMethod(
            this, [this, done, total, text] { emit Progressed(done, total, text); },
            Qt::QueuedConnection);
    };
    thread = QThread::create(
        [work = std::move(work), progress, succeeded] { *succeeded = work(progress); });
    connect(thread, &QThread::finished, this, [this, succeeded, finish = std::move(finish)] {
        thread->deleteLater();
        thread = nullptr;
        const bool done = *succeeded && !cancelled;
        finish(done);
        // A finish step that starts the next task (reading, then training)
        // ends once, with the last of them.
        if (thread == nullptr) emit Ended(done);
    });
    emit Started(what);
    thread->start();
    return true;
}

bool BackgroundTask::Run(const QString& what, Job job, Done done, const QString& failure,
                         const QString& cancelledText) {
    auto error = std::make_shared<std::string>();
    return Start(
        what,
        [job = std::move(job), error](const Progress& progress) {
            try {
                job(progress);
                return true;
            } catch (const morlin::Error& e) {
                *error = e.what();
                return false;
            }
        },
        [this, error, done = std::move(done), failure, cancelledText](bool succeeded) {
            if (succeeded) {
                done();
            } else {
                emit Failed(cancelled ? cancelledText
                                      : failure.arg(QString::fromStdString(DisplayName(*error))));
            }
        });
}
