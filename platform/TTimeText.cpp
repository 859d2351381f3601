#include "platform/TTimeText.h"

QDateTime TTimeText::LocalTime(const QVariant& stored)
{
    if (stored.isNull()) {
        return QDateTime();
    }
    const QDateTime time = QDateTime::fromString(stored.toString(), Qt::ISODate);
    return time.isValid() ? time.toLocalTime() : QDateTime();
}

QString TTimeText::Display(const QVariant& stored)
{
    const QDateTime time = LocalTime(stored);
    return time.isValid() ? time.toString(QLatin1String(DisplayFormat)) : stored.toString();
}
