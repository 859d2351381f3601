#include "net/TAbortSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

TAbortSignal::TAbortSignal()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

TAbortSignal::~TAbortSignal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TAbortSignal::Fire()
{
    m_fired = true;
    if (m_fd >= 0) {
        const eventfd_t one = 1;
        (void)!::write(m_fd, &one, sizeof(one));
    }
}
