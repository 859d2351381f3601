#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// Stored times (ISO 8601 texts with their offset from UTC, as rows are stored) as the user reads them: in the local
// time of this machine.
class TTimeText
{
public:
    static constexpr const char* DisplayFormat = "yyyy-MM-dd HH:mm";

    // The local time of a stored text; invalid for a null value or a text that is no ISO 8601 time.
    static QDateTime LocalTime(const QVariant& stored);
    // "yyyy-MM-dd HH:mm" in local time; a text that is no time is shown as it is, a null value as nothing.
    static QString Display(const QVariant& stored);
};
