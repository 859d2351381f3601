#pragma once

#include "net/ITransport.h"

#include <QByteArray>
#include <QString>

// One TCP connection over a POSIX socket, closed when the object goes.
class TSocketTransport : public ITransport
{
public:
    TSocketTransport() = default;
    ~TSocketTransport() override;
    TSocketTransport(const TSocketTransport&) = delete;
    TSocketTransport& operator=(const TSocketTransport&) = delete;

    // Resolves the host and connects to its addresses in turn, IPv4 addresses first.
    bool Connect(const QByteArray& host, quint16 port, QString* error);
    // Sends all bytes; the call blocks until the system has taken them.
    bool SendAll(const QByteArray& bytes, QString* error);
    ReadResult Read(char* data, qint64 maxSize, int timeoutMs) override;

private:
    bool ConnectTo(const struct addrinfo* address);
    bool WaitReadable(int timeoutMs);

    int m_fd = -1;
};
