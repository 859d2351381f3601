#include "net/TSocketTransport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

QString SystemError(const char* what, int code)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

TSocketTransport::TSocketTransport(const THttpOptions& options)
    : m_options(options)
    , m_deadline(options.DeadlineMs)
{
}

TSocketTransport::~TSocketTransport()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TSocketTransport::Fail(THttpFailure failure)
{
    m_failure = failure;
    return false;
}

// Waits until the socket is ready for the events, the wait or the page deadline runs out, or the abort fires.
TSocketTransport::Wait TSocketTransport::WaitFor(short events, QDeadlineTimer wait)
{
    const TAbortSignal* abort = m_options.Abort.get();
    const bool deadlineFirst = m_deadline.deadline() <= wait.deadline();
    const QDeadlineTimer until = deadlineFirst ? m_deadline : wait;
    pollfd entries[2] = {{m_fd, events, 0}, {abort != nullptr ? abort->Fd() : -1, POLLIN, 0}};
    for (;;) {
        if (abort != nullptr && abort->Fired()) {
            Fail(THttpFailure::Aborted);
            return Wait::Failed;
        }
        const int rc = ::poll(entries, 2, int(until.remainingTime()));
        if (rc > 0 && entries[1].revents == 0)
            return Wait::Ready;
        if (rc == 0 && deadlineFirst) {
            Fail(THttpFailure::Deadline);
            return Wait::Failed;
        }
        if (rc == 0)
            return Wait::TimedOut;
        if (rc < 0 && errno != EINTR) {
            Fail(THttpFailure::Connect);
            return Wait::Failed;
        }
    }
}

bool TSocketTransport::Connect(const QByteArray& host, quint16 port, QString* error)
{
    const QDeadlineTimer connectWait(m_options.ConnectMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &list);
    if (rc != 0) {
        *error = QStringLiteral("cannot resolve the host: ") + QString::fromLocal8Bit(::gai_strerror(rc));
        return Fail(THttpFailure::Resolve);
    }
    bool connected = false;
    int lastError = ECONNREFUSED;
    for (const addrinfo* address : OrderedAddresses(list)) {
        connected = ConnectTo(address, connectWait);
        lastError = errno;
        if (connected || m_failure != THttpFailure::Connect)
            break;
    }
    ::freeaddrinfo(list);
    if (connected) {
        m_failure = THttpFailure::None; // an earlier address may have refused
        return true;
    }
    if (m_failure == THttpFailure::ConnectTimeout)
        *error = QStringLiteral("no connection within %1 ms").arg(m_options.ConnectMs);
    else if (m_failure == THttpFailure::Connect)
        *error = SystemError("cannot connect", lastError);
    else
        *error = QStringLiteral("the connection attempt was ended");
    return false;
}

// One address. Fails with Connect when it refuses or breaks, ConnectTimeout when the connect wait runs out,
// and Deadline or Aborted as every wait does.
bool TSocketTransport::ConnectTo(const addrinfo* address, QDeadlineTimer connectWait)
{
    m_fd = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address->ai_protocol);
    if (m_fd < 0)
        return Fail(THttpFailure::Connect);
    int rc;
    do {
        rc = ::connect(m_fd, address->ai_addr, address->ai_addrlen);
    } while (rc < 0 && errno == EINTR);
    int code = rc == 0 ? 0 : errno;
    if (code == EINPROGRESS) {
        const Wait wait = WaitFor(POLLOUT, connectWait);
        if (wait == Wait::TimedOut)
            m_failure = THttpFailure::ConnectTimeout;
        socklen_t size = sizeof(code);
        if (wait != Wait::Ready || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &code, &size) < 0)
            code = ETIMEDOUT;
    }
    if (code == 0)
        return true;
    ::close(m_fd);
    m_fd = -1;
    errno = code;
    if (m_failure == THttpFailure::None)
        m_failure = THttpFailure::Connect;
    return false;
}

bool TSocketTransport::SendAll(const QByteArray& bytes, QString* error)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const Wait wait = WaitFor(POLLOUT, QDeadlineTimer(m_options.SilenceMs));
            if (wait == Wait::Ready)
                continue;
            if (wait == Wait::TimedOut)
                m_failure = THttpFailure::Silence;
            *error = QStringLiteral("the server took no request");
            return false;
        }
        *error = SystemError("cannot send the request", errno);
        return Fail(THttpFailure::Connect);
    }
    return true;
}

ITransport::ReadResult TSocketTransport::Read(char* data, qint64 maxSize, int timeoutMs)
{
    const QDeadlineTimer silence(timeoutMs);
    for (;;) {
        const Wait wait = WaitFor(POLLIN, silence);
        if (wait == Wait::TimedOut)
            Fail(THttpFailure::Silence);
        if (wait != Wait::Ready)
            return {ReadStatus::Failed};
        const ssize_t n = ::recv(m_fd, data, size_t(maxSize), 0);
        if (n > 0)
            return {ReadStatus::Data, n};
        if (n == 0 || errno == ECONNRESET)
            return {ReadStatus::Closed};
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(THttpFailure::CutOff);
            return {ReadStatus::Failed};
        }
    }
}
