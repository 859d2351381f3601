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

QString TLibraryWorker::NotOpenError() const
{
    return m_openError.isEmpty() ? QStringLiteral("数据库没有打开") : QStringLiteral("无法打开数据库：") + m_openError;
}

void TLibraryWorker::Post(const void* owner, Job job)
{
    Add(std::move(job), owner);
}

void TLibraryWorker::Keep(Job job)
{
    Add(std::move(job), nullptr);
}

void TLibraryWorker::Add(Job job, const void* owner)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_jobs.push_back({std::move(job), owner});
    }
    m_wake.notify_one();
}

void TLibraryWorker::Cancel(const void* owner)
{
    if (owner == nullptr) {
        return; // jobs without an owner always run
    }
    std::lock_guard<std::mutex> lock(m_lock);
    std::erase_if(m_jobs, [owner](const TEntry& entry) { return entry.Owner == owner; });
    if (m_busy && m_runningOwner == owner) {
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
        m_runningOwner = entry.Owner;
        lock.unlock();
        entry.Work(m_query);
        lock.lock();
        m_busy = false;
        m_runningOwner = nullptr;
        m_idle.notify_all();
    }
    lock.unlock();
    m_query.Close();
    m_idle.notify_all();
}
