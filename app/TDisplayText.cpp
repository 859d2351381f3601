#include "app/TDisplayText.h"

#include <QDateTime>

QString TDisplayText::Time(const QString& isoTime)
{
    const QDateTime time = QDateTime::fromString(isoTime, Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : isoTime;
}

QString TDisplayText::Price(const QVariant& price)
{
    return price.isNull() ? QStringLiteral("—") : QString::number(price.toDouble(), 'f', 2);
}

QString TDisplayText::Percent(const QVariant& percent)
{
    if (percent.isNull()) {
        return QStringLiteral("—");
    }
    const double value = percent.toDouble();
    return (value > 0 ? QStringLiteral("+") : QString()) + QString::number(value, 'f', 1) + QLatin1Char('%');
}
