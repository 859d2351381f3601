#pragma once

#include <QString>
#include <QVariant>

// How the history and comparison windows write times and prices.
class TDisplayText
{
public:
    // A stored ISO 8601 time as local "yyyy-MM-dd HH:mm"; a text that is no such time stays as it is.
    static QString Time(const QString& isoTime);
    // A price with two decimals; "—" for none.
    static QString Price(const QVariant& price);
    // A change in percent with one decimal and its sign ("-15.0%", "+10.0%"); "—" for none.
    static QString Percent(const QVariant& percent);
};
