#pragma once

#include <QByteArray>
#include <QList>

// What the fake marketplace does on one connection after it has read the request: a list of steps played in
// order. Unless the script ends in a stall or a reset, the server closes the connection after the last step.
class TResponseScript
{
public:
    struct Step
    {
        enum class Kind { Send, Pause, Stall, Reset };
        Kind kind;
        QByteArray bytes;
        int ms = 0;
    };

    // Raw bytes as they stand: a status line or none, headers, any framing.
    static TResponseScript Raw(const QByteArray& bytes);
    // A complete response with a status line, the extra header lines (each without its CR LF) and a
    // Content-Length for the body.
    static TResponseScript WithLength(int status, const QByteArray& body, const QList<QByteArray>& headers = {});

    TResponseScript& Send(const QByteArray& bytes);
    // Sends the bytes in pieces of pieceSize with a pause of delayMs before each piece after the first.
    TResponseScript& Drip(const QByteArray& bytes, int pieceSize, int delayMs);
    TResponseScript& Pause(int ms);
    // Stays silent with the connection open until the client closes it.
    TResponseScript& Stall();
    // Ends the connection with a reset (RST) instead of an orderly close.
    TResponseScript& Reset();

    const QList<Step>& Steps() const { return m_steps; }

private:
    QList<Step> m_steps;
};
