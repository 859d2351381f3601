#pragma once

#include "library/TLibraryQuery.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A thread that owns a library query on its own connection and runs jobs on it one after another, so
// long statements never hold up the window. Cancel(owner) drops the jobs of that owner that wait and
// interrupts the one that runs when it is that owner's; the jobs of other owners go on. Jobs report their
// results to the window themselves (queued calls).
class TLibraryWorker
{
public:
    using Job = std::function<void(TLibraryQuery& query)>;

    // Starts the thread; it opens the connection first. NotOpenError() tells why a job found it closed.
    explicit TLibraryWorker(const QString& connectionString);
    ~TLibraryWorker();
    TLibraryWorker(const TLibraryWorker&) = delete;
    TLibraryWorker& operator=(const TLibraryWorker&) = delete;

    // A job of an owner (any address that names who waits for it) that Cancel(owner) may drop or interrupt;
    // Keep() jobs (keyword lists, deletions) always run to the end.
    void Post(const void* owner, Job job);
    void Keep(Job job);
    void Cancel(const void* owner);
    // Blocks until every job posted so far has run. For tests and shut-down.
    void Wait();
    // The failure of opening the connection; empty once it is open. Read it from a job.
    // Why a job found no open connection, as the user reads it. Read it from a job.
    QString NotOpenError() const;

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
        const void* Owner = nullptr; // null: the job cannot be cancelled
    };
    void Add(Job job, const void* owner);

    std::deque<TEntry> m_jobs;
    bool m_busy = false;
    const void* m_runningOwner = nullptr;
    bool m_stop = false;
    std::thread m_thread;
};
