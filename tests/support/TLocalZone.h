#pragma once

#include <QByteArray>

#include <ctime>

// The process's local time zone set to a POSIX TZ value (e.g. "CST-8", eight hours east of UTC) while the object
// lives, so that local times are what a test expects whatever zone the machine is in.
class TLocalZone
{
public:
    explicit TLocalZone(const char* zone)
        : m_had(qEnvironmentVariableIsSet("TZ"))
        , m_before(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TLocalZone()
    {
        if (m_had) {
            qputenv("TZ", m_before);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }
    TLocalZone(const TLocalZone&) = delete;
    TLocalZone& operator=(const TLocalZone&) = delete;

private:
    bool m_had;
    QByteArray m_before;
};
