#include "library/TLibraryWorker.h"

TLibraryWorker::TLibraryWorker(const QString& connectionString)
{
    m_busy = true; // until the connection is open
    m_thread = std::thread([this, connectionString]() { Run(connectionString); });
}

TLibraryWorker::~TLibraryWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
        m_jobs.clear();
    }
    m_query.Interrupt();
    m_wake.notify_all();
    m_thread.join();
}

void TLibraryWorker::Post(Job job)
{
    Add(std::move(job), true);
}

void TLibraryWorker::Keep(Job job)
{
    Add(std::move(job), false);
}

void TLibraryWorker::Add(Job job, bool cancellable)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_jobs.push_back({std::move(job), cancellable});
    }
    m_wake.notify_one();
}

void TLibraryWorker::Cancel()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::erase_if(m_jobs, [](const TEntry& entry) { return entry.Cancellable; });
    if (m_busy && m_runningCancellable) {
        m_query.Interrupt();
    }
}

void TLibraryWorker::Wait()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_idle.wait(lock, [this]() { return m_stop || (!m_busy && m_jobs.empty()); });
}

void TLibraryWorker::Run(QString connectionString)
{
    QString error;
    if (!m_query.Open(connectionString, &error)) {
        m_openError = error.isEmpty() ? QStringLiteral("cannot open the database") : error;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_busy = false;
    m_idle.notify_all();
    for (;;) {
        m_wake.wait(lock, [this]() { return m_stop || !m_jobs.empty(); });
        if (m_stop) {
            break;
        }
        TEntry entry = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        m_runningCancellable = entry.Cancellable;
        lock.unlock();
        entry.Work(m_query);
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
    lock.unlock();
    m_query.Close();
    m_idle.notify_all();
}
