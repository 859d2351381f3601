#include "net/TSocketTransport.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// IPv4 addresses before all others, each group in the resolver's order.
std::vector<const addrinfo*> OrderedAddresses(const addrinfo* list)
{
    std::vector<const addrinfo*> ordered;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family == AF_INET)
            ordered.push_back(a);
    }
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET)
            ordered.push_back(a);
    }
    return ordered;
}

QString SystemError(const char* what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TSocketTransport::~TSocketTransport()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TSocketTransport::Connect(const QByteArray& host, quint16 port, QString* error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &list);
    if (rc != 0) {
        *error = QStringLiteral("cannot resolve the host: ") + QString::fromLocal8Bit(::gai_strerror(rc));
        return false;
    }
    bool connected = false;
    for (const addrinfo* address : OrderedAddresses(list)) {
        connected = ConnectTo(address);
        if (connected)
            break;
    }
    ::freeaddrinfo(list);
    if (!connected)
        *error = SystemError("cannot connect");
    return connected;
}

bool TSocketTransport::ConnectTo(const addrinfo* address)
{
    const int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::connect(fd, address->ai_addr, address->ai_addrlen);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    m_fd = fd;
    return true;
}

bool TSocketTransport::SendAll(const QByteArray& bytes, QString* error)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = SystemError("cannot send the request");
            return false;
        }
        sent += n;
    }
    return true;
}

bool TSocketTransport::WaitReadable(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    pollfd entry{m_fd, POLLIN, 0};
    for (;;) {
        const int left = int(qMax<qint64>(0, timeoutMs - clock.elapsed()));
        const int rc = ::poll(&entry, 1, left);
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

ITransport::ReadResult TSocketTransport::Read(char* data, qint64 maxSize, int timeoutMs)
{
    if (!WaitReadable(timeoutMs))
        return {ReadStatus::Failed};
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, size_t(maxSize), 0);
        if (n > 0)
            return {ReadStatus::Data, n};
        if (n == 0 || errno == ECONNRESET)
            return {ReadStatus::Closed};
        if (errno != EINTR)
            return {ReadStatus::Failed};
    }
}
