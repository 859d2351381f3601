#pragma once

#include "collect/INotifier.h"

// Desktop notifications through org.freedesktop.Notifications on the session bus. Without a bus or a notification
// service nothing is shown and nothing fails; the call never waits for an answer.
class TDesktopNotifier : public INotifier
{
public:
    void Notify(const QString& summary, const QString& body) override;
};
