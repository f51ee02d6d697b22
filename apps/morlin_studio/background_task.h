// morlin-studio's background work: one task at a time on a thread of its
// own, so the window stays responsive while faces are read, a model is
// trained or calibrated. Progress comes back to the window's thread as a
// signal; so does the end, after which the task's finish step runs there.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

#include "progress.h"

class QThread;

class BackgroundTask : public QObject {
    Q_OBJECT

public:
    // The work: runs on the task's thread, tells how far it has come and
    // returns whether it succeeded; Cancelled() tells it to stop early.
    using Work = std::function<bool(const Progress& progress)>;
    // What runs on the window's thread afterwards, told whether the work
    // succeeded and was not cancelled.
    using Finish = std::function<void(bool succeeded)>;

    explicit BackgroundTask(QObject* parent = nullptr);
    ~BackgroundTask() override;

    // Starts work unless a task runs already (then false).
    bool Start(const QString& what, Work work, Finish finish);

    // Work that fails by throwing morlin::Error, and what follows it on the
    // window's thread when it succeeds.
    using Job = std::function<void(const Progress& progress)>;
    using Done = std::function<void()>;
    // Starts job as Start does; afterwards done() when it succeeded, or
    // Failed(failure with %1 the reason) when it threw, or Failed(cancelled)
    // when it was cancelled.
    bool Run(const QString& what, Job job, Done done, const QString& failure,
             const QString& cancelled);
    bool Running() const { return thread != nullptr; }
    // Asks the work to stop at its next step.
    void Cancel() { cancelled = true; }
    bool Cancelled() const { return cancelled; }
    // Waits for the work under way to end (at closing).
    void Wait();

signals:
    void Started(const QString& what);
    void Progressed(int done, int total, const QString& what);
    // After the finish step; succeeded as it was told.
    void Ended(bool succeeded);
    // What went wrong in a Run, for a person to read.
    void Failed(const QString& message);

private:
    QThread* thread = nullptr;
    std::atomic<bool> cancelled{false};
};
