#pragma once

#include "net/TAbortSignal.h"
#include "net/THttpOptions.h"
#include "net/THttpResult.h"
#include "platform/TAsyncTask.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// Runs HttpGetString on a thread of its own, so the thread that starts it (the GUI thread) stays free, and
// reports the end as Finished on that thread. A download that is abandoned, or whose object goes first, is
// ended at once through its abort signal; its result is never reported. The page deadline holds here too: a
// download that has not ended shortly after it (the name lookup cannot be interrupted) is given up and
// reported as a Deadline failure.
class TPageDownload : public QObject
{
    Q_OBJECT

public:
    explicit TPageDownload(QObject* parent = nullptr);
    ~TPageDownload() override;
    TPageDownload(const TPageDownload&) = delete;
    TPageDownload& operator=(const TPageDownload&) = delete;

    // Starts the download of a URL, abandoning one still running. The options' abort signal is the
    // download's own; any given one is replaced.
    void Start(const QString& url, THttpOptions options);
    // Gives the running download up: its waits end at once and Finished does not come.
    void Abandon();
    bool Running() const { return m_ticket != nullptr; }

signals:
    // The page text (empty on failure) and what the exchange learned; see HttpGetString.
    void Finished(const QString& text, const THttpResult& outcome);

private:
    void Deliver(const QString& text, const THttpResult& outcome);
    void GiveUpAtDeadline();

    std::shared_ptr<TAsyncTask::TTicket> m_ticket; // the running download's claim on its result
    std::shared_ptr<TAbortSignal> m_abort; // ends the running download's waits
    QTimer m_deadline;
};
