#include "net/TPageDownload.h"

#include "net/HttpGetString.h"

#include <utility>

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
    auto abort = std::make_shared<TAbortSignal>();
    options.Abort = abort;
    m_abort = abort;
    m_deadline.start(options.DeadlineMs + DeadlineSlackMs);
    m_ticket = TAsyncTask::Start(
        this,
        [url, options]() {
            THttpResult outcome;
            QString text = HttpGetString(url, options, &outcome);
            return std::make_pair(std::move(text), outcome);
        },
        [this](std::pair<QString, THttpResult> result) { Deliver(result.first, result.second); });
}

void TPageDownload::Abandon()
{
    m_deadline.stop();
    if (m_ticket == nullptr)
        return;
    m_ticket->Cancel();
    m_ticket.reset();
    m_abort->Fire();
    m_abort.reset();
}

void TPageDownload::Deliver(const QString& text, const THttpResult& outcome)
{
    m_ticket.reset();
    m_abort.reset();
    m_deadline.stop();
    emit Finished(text, outcome);
}

void TPageDownload::GiveUpAtDeadline()
{
    Abandon();
    emit Finished({}, THttpResult::Failure(THttpFailure::Deadline, QStringLiteral("the download did not end in time")));
}
