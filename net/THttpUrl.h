#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A URL split into the parts the download needs. Host and target are code page 936 bytes, sent as they are.
struct THttpUrl
{
    QByteArray scheme; // lower case; "http" when the URL names none
    QByteArray host;
    quint16 port = 80;
    QByteArray target; // from the first "/" after the host to the end, or "/"

    // Splits a URL such as "http://host:8080/search?q=x". Fails on a CR, LF or NUL anywhere (they would forge
    // request lines), on an empty host and on a port that is not a number from 1 to 65535.
    static std::optional<THttpUrl> Parse(const QString& url, QString* error);
};
