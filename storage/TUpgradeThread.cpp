#include "storage/TUpgradeThread.h"

#include "platform/TAsyncTask.h"

#include <QCoreApplication>

#include <mutex>

namespace {
// The latest report of the step's thread, handed to the calling thread one at a time.
struct TLatest
{
    std::mutex Lock;
    qint64 Done = 0;
    qint64 Total = 0;
    bool Posted = false; // a delivery is queued and has not run yet
};
} // namespace

bool TUpgradeThread::CanRun()
{
    return TAsyncTask::CanWait();
}

bool TUpgradeThread::Run(const Step& step, const Progress& progress, QString* error)
{
    if (!CanRun()) {
        return step(progress, error);
    }
    QObject receiver; // lives in this thread: calls queued to it run here
    TLatest latest;
    const auto deliver = [&latest, &progress]() {
        qint64 done = 0;
        qint64 total = 0;
        {
            std::lock_guard<std::mutex> lock(latest.Lock);
            done = latest.Done;
            total = latest.Total;
            latest.Posted = false;
        }
        if (progress) {
            progress(done, total);
        }
    };
    const Progress report = [&](qint64 done, qint64 total) {
        std::lock_guard<std::mutex> lock(latest.Lock);
        latest.Done = done;
        latest.Total = total;
        if (!latest.Posted) {
            latest.Posted = true;
            QMetaObject::invokeMethod(&receiver, deliver, Qt::QueuedConnection);
        }
    };
    QString failure;
    // Timers, paints and the window system's other events go on; clicks and keys stay queued for later.
    TAsyncTask task;
    const bool ok = task.RunAndWait([&]() { return step(report, &failure); }, QEventLoop::ExcludeUserInputEvents);
    QCoreApplication::sendPostedEvents(&receiver); // a last report queued behind the end
    if (!ok) {
        *error = failure;
    }
    return ok;
}
