#pragma once

#include <QString>

// Where a run's alerts are announced: the desktop's notifications, or a stand-in in tests.
class INotifier
{
public:
    virtual ~INotifier() = default;
    virtual void Notify(const QString& summary, const QString& body) = 0;
};
