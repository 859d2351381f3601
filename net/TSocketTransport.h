#pragma once

#include "net/ITransport.h"
#include "net/THttpOptions.h"
#include "net/THttpResult.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

// One TCP connection over a non-blocking POSIX socket, closed when the object goes. Every wait is bounded by
// the page deadline, which starts with the object, and ends at once when the abort signal fires.
class TSocketTransport : public ITransport
{
public:
    explicit TSocketTransport(const THttpOptions& options = {});
    ~TSocketTransport() override;
    TSocketTransport(const TSocketTransport&) = delete;
    TSocketTransport& operator=(const TSocketTransport&) = delete;

    // Resolves the host and connects to its addresses in turn, IPv4 addresses first, all within the connect
    // wait.
    bool Connect(const QByteArray& host, quint16 port, QString* error);
    // Sends all bytes, within the silence wait for each part the system takes.
    bool SendAll(const QByteArray& bytes, QString* error);
    ReadResult Read(char* data, qint64 maxSize, int timeoutMs) override;
    // Why the last call failed: Resolve, Connect, ConnectTimeout, Silence, Deadline or Aborted; None while
    // nothing failed, and after a failure the stream reported as Closed.
    THttpFailure Failure() const { return m_failure; }

private:
    enum class Wait { Ready, TimedOut, Failed };

    bool ConnectTo(const struct addrinfo* address, QDeadlineTimer connectWait);
    Wait WaitFor(short events, QDeadlineTimer wait);
    bool Fail(THttpFailure failure);

    THttpOptions m_options;
    QDeadlineTimer m_deadline;
    int m_fd = -1;
    THttpFailure m_failure = THttpFailure::None;
};
