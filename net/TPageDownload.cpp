#include "net/TPageDownload.h"

#include "net/HttpGetString.h"

#include <QMetaObject>
#include <QMutex>

#include <thread>

// What the download thread shares with the object: the abort signal, and the object to report to while it
// still wants the result. The thread holds the state, so it outlives an abandoned object.
struct TPageDownload::TState
{
    std::shared_ptr<TAbortSignal> abort = std::make_shared<TAbortSignal>();
    QMutex mutex;
    TPageDownload* receiver = nullptr;
};

namespace {
// How long after its deadline a download that has not ended is given up: time for it to report on its own.
constexpr int DeadlineSlackMs = 1000;
} // namespace

TPageDownload::TPageDownload(QObject* parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &TPageDownload::GiveUpAtDeadline);
}

TPageDownload::~TPageDownload()
{
    Abandon();
}

void TPageDownload::Start(const QString& url, THttpOptions options)
{
    Abandon();
    auto state = std::make_shared<TState>();
    state->receiver = this;
    options.Abort = state->abort;
    m_state = state;
    m_deadline.start(options.DeadlineMs + DeadlineSlackMs);
    std::thread([state, url, options]() {
        THttpResult outcome;
        const QString text = HttpGetString(url, options, &outcome);
        // Posted under the lock, so the object cannot go between the check and the post; a posted call
        // whose object has gone meanwhile is dropped with it.
        const QMutexLocker lock(&state->mutex);
        if (state->receiver != nullptr) {
            TPageDownload* receiver = state->receiver;
            QMetaObject::invokeMethod(
                receiver, [receiver, state, text, outcome]() { receiver->Deliver(state, text, outcome); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TPageDownload::Abandon()
{
    m_deadline.stop();
    if (m_state == nullptr)
        return;
    {
        const QMutexLocker lock(&m_state->mutex);
        m_state->receiver = nullptr;
    }
    m_state->abort->Fire();
    m_state.reset();
}

void TPageDownload::Deliver(const std::shared_ptr<TState>& state, const QString& text, const THttpResult& outcome)
{
    if (state != m_state)
        return; // the result of a download given up after it had ended
    m_state.reset();
    m_deadline.stop();
    emit Finished(text, outcome);
}

void TPageDownload::GiveUpAtDeadline()
{
    Abandon();
    emit Finished({}, THttpResult::Failure(THttpFailure::Deadline, QStringLiteral("the download did not end in time")));
}
