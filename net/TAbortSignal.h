#pragma once

#include <atomic>

// A flag that another thread raises to end a download at once: every wait of the download polls its
// descriptor along with the socket's. Raised once, it stays raised.
class TAbortSignal
{
public:
    TAbortSignal();
    ~TAbortSignal();
    TAbortSignal(const TAbortSignal&) = delete;
    TAbortSignal& operator=(const TAbortSignal&) = delete;

    void Fire();
    bool Fired() const { return m_fired; }
    // Readable once fired; -1 when the system gave no descriptor (the waits then see Fired() only between
    // their polls).
    int Fd() const { return m_fd; }

private:
    std::atomic<bool> m_fired = false;
    int m_fd = -1;
};
