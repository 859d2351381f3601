#pragma once

#include "library/TLibraryQuery.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A thread that owns a library query on its own connection and runs jobs on it one after another, so
// long statements never hold up the window. Cancel() drops the jobs that wait and interrupts the one
// that runs; jobs report their results to the window themselves (queued calls).
class TLibraryWorker
{
public:
    using Job = std::function<void(TLibraryQuery& query)>;

    // Starts the thread; it opens the connection first. OpenError() tells how that went once a job runs.
    explicit TLibraryWorker(const QString& connectionString);
    ~TLibraryWorker();
    TLibraryWorker(const TLibraryWorker&) = delete;
    TLibraryWorker& operator=(const TLibraryWorker&) = delete;

    // A job that Cancel() may drop or interrupt; Keep() jobs (keyword lists, deletions) always run to the end.
    void Post(Job job);
    void Keep(Job job);
    void Cancel();
    // Blocks until every job posted so far has run. For tests and shut-down.
    void Wait();
    // The failure of opening the connection; empty once it is open. Read it from a job.
    const QString& OpenError() const { return m_openError; }

private:
    void Run(QString connectionString);

    TLibraryQuery m_query;
    QString m_openError;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    struct TEntry
    {
        Job Work;
        bool Cancellable = true;
    };
    void Add(Job job, bool cancellable);

    std::deque<TEntry> m_jobs;
    bool m_busy = false;
    bool m_runningCancellable = false;
    bool m_stop = false;
    std::thread m_thread;
};
