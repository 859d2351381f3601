#include "tests/support/TFullListener.h"

#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TFullListener::TFullListener()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0
        || ::listen(m_listener, 0) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    // A backlog of 0 still queues a connection or two; a few more than that leave it full.
    for (int i = 0; i < 4; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        (void)::connect(filler, reinterpret_cast<sockaddr*>(&address), size);
        m_fillers.push_back(filler);
    }
    QThread::msleep(100); // the queued handshakes complete
    m_port = ntohs(address.sin_port);
}

TFullListener::~TFullListener()
{
    for (int filler : m_fillers)
        ::close(filler);
    if (m_listener >= 0)
        ::close(m_listener);
}
