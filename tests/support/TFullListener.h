#pragma once

#include <QtGlobal>

#include <vector>

// A listener on 127.0.0.1 that never accepts, its backlog filled at once: a connection attempt to it gets no
// answer at all, as when a firewall drops the opening packets.
class TFullListener
{
public:
    TFullListener();
    ~TFullListener();
    TFullListener(const TFullListener&) = delete;
    TFullListener& operator=(const TFullListener&) = delete;

    // 0 when no listener could be set up.
    quint16 Port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    quint16 m_port = 0;
};
