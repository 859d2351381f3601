#pragma once

#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

// Runs work on a thread of its own while the caller's event loop goes on, and hands the result back.
//
// RunAndWait waits for the work in a local event loop and returns its result: the caller reads on as if the
// call were synchronous while its windows stay painted and its timers fire. An event handler that runs meanwhile
// (a window being closed) can wait for the work with Join before it lets go of what the work uses.
//
// Start does not wait: the work runs on a detached thread and its result reaches a callback on the thread of a
// context object, unless the context went first or the returned ticket was cancelled. The work must then own
// everything it uses, and the context must cancel the ticket before it goes (its destructor is a good place).
class TAsyncTask
{
public:
    TAsyncTask() = default;
    TAsyncTask(const TAsyncTask&) = delete;
    TAsyncTask& operator=(const TAsyncTask&) = delete;
    ~TAsyncTask() { Join(); }

    // The work's result. Without an event loop to run (no application, or none on this thread) the work runs
    // in place. flags chooses what the local loop handles meanwhile: ExcludeUserInputEvents keeps clicks and
    // keys queued until the work is done.
    template <typename Work>
    std::invoke_result_t<Work> RunAndWait(Work work, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents)
    {
        if (!CanWait()) {
            return work();
        }
        using Result = std::invoke_result_t<Work>;
        QEventLoop loop;
        std::optional<Result> result;
        m_thread = std::thread([&]() {
            result.emplace(work());
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(flags); // also ends early when something quits every loop; the join below waits then
        Join();
        return std::move(*result);
    }

    // Waits for the work of RunAndWait to end; at once when none runs.
    void Join()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool Running() const { return m_thread.joinable(); }

    // Whether the calling thread has an event loop to run while work goes on elsewhere.
    static bool CanWait();

    // A started work's claim on its context; Cancel drops the result, wherever the work is.
    class TTicket
    {
    public:
        void Cancel()
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_cancelled = true;
        }
        bool Cancelled()
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            return m_cancelled;
        }

    private:
        friend class TAsyncTask;
        std::mutex m_mutex;
        bool m_cancelled = false;
    };

    template <typename Work, typename Done>
    static std::shared_ptr<TTicket> Start(QObject* context, Work work, Done done)
    {
        auto ticket = std::make_shared<TTicket>();
        std::thread([ticket, context, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work();
            // Posted under the lock, so a cancel cannot come between the check and the post; the delivery
            // checks again on the context's thread, where a cancel made after the post is seen.
            const std::lock_guard<std::mutex> lock(ticket->m_mutex);
            if (ticket->m_cancelled) {
                return;
            }
            QMetaObject::invokeMethod(
                context,
                [ticket, done = std::move(done), result = std::move(result)]() mutable {
                    if (!ticket->Cancelled()) {
                        done(std::move(result));
                    }
                },
                Qt::QueuedConnection);
        }).detach();
        return ticket;
    }

private:
    std::thread m_thread;
};
