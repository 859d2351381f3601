#pragma once

#include <QByteArray>
#include <QString>

// The outcome of one exchange: the raw body bytes, or why the exchange failed.
struct THttpResult
{
    bool ok = false;
    QByteArray body;
    QString error;

    static THttpResult Failure(const QString& error) { return {false, {}, error}; }
};
