#pragma once

#include <QString>

// Tells the user something on the desktop, outside the program's own window: a summary line and a body.
// Sending never fails the caller and never holds it up; where the desktop cannot show a notice, nothing is shown.
class INotifier
{
public:
    virtual ~INotifier() = default;
    virtual void Notify(const QString& summary, const QString& body) = 0;
};
