#pragma once

#include "collect/INotifier.h"

#include <QString>

#include <memory>

// Desktop notices through the desktop's notification service (org.freedesktop.Notifications on the D-Bus session
// bus). A notice is sent without waiting for its answer. Without a session bus, or without a notification service
// on it, nothing is shown and nothing fails. The notifier waits, when it goes, for the answers still due (at most
// ReplyTimeoutMs), so that a program that ends right after a notice still delivers it.
class TDesktopNotifier : public INotifier
{
public:
    static constexpr int ReplyTimeoutMs = 3000;
    static const char* const ServiceName;
    static const char* const ObjectPath;

    // On the user's session bus.
    TDesktopNotifier();
    // On the bus at this address (a bus of its own, for instance).
    explicit TDesktopNotifier(const QString& busAddress);
    ~TDesktopNotifier() override;
    TDesktopNotifier(const TDesktopNotifier&) = delete;
    TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

    void Notify(const QString& summary, const QString& body) override;
    // Waits for the answers to the notices sent so far, each at most ReplyTimeoutMs from its sending.
    void Flush();

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};
