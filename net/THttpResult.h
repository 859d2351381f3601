#pragma once

#include <QByteArray>
#include <QString>

// Why an exchange gave no page.
enum class THttpFailure {
    None,
    BadUrl, // the URL cannot be sent: no host, a bad port, or a line break or zero character in it
    NotHttp, // a scheme other than plain http
    Resolve, // the host name does not resolve
    Connect, // no address of the host took the connection, or sending the request failed
    ConnectTimeout, // no address answered within the connect wait
    Silence, // the server sent nothing for the whole silence wait
    Deadline, // the whole page did not arrive within the deadline for one page
    CutOff, // the connection ended before the response was complete
    TooLarge, // the body, a line or the head exceeds what a download accepts
    Encoding, // the body is not UTF-8 text
    Aborted, // the caller gave the download up
};

// The outcome of one exchange: the raw body bytes, or why the exchange failed. The status and the redirect
// target are kept whenever the response got that far, also on failure.
struct THttpResult
{
    bool ok = false;
    QByteArray body;
    QString error; // the failure in words, for a log or a developer
    THttpFailure failure = THttpFailure::None;
    int status = 0; // the status code; 0 before a status line was read, or when the response had none
    QByteArray location; // the Location header, the target of a redirect; empty when none was sent

    static THttpResult Failure(THttpFailure failure, const QString& error)
    {
        THttpResult result;
        result.failure = failure;
        result.error = error;
        return result;
    }
};
