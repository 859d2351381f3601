#include "tests/support/TResponseScript.h"

namespace {

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

} // namespace

TResponseScript TResponseScript::Raw(const QByteArray& bytes)
{
    TResponseScript script;
    script.Send(bytes);
    return script;
}

TResponseScript TResponseScript::WithLength(int status, const QByteArray& body, const QList<QByteArray>& headers)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
    for (const QByteArray& header : headers)
        head += header + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    return Raw(head + body);
}

TResponseScript& TResponseScript::Send(const QByteArray& bytes)
{
    m_steps.append({Step::Kind::Send, bytes, 0});
    return *this;
}

TResponseScript& TResponseScript::Drip(const QByteArray& bytes, int pieceSize, int delayMs)
{
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize) {
        if (at > 0)
            Pause(delayMs);
        Send(bytes.mid(at, pieceSize));
    }
    return *this;
}

TResponseScript& TResponseScript::Pause(int ms)
{
    m_steps.append({Step::Kind::Pause, {}, ms});
    return *this;
}

TResponseScript& TResponseScript::Stall()
{
    m_steps.append({Step::Kind::Stall, {}, 0});
    return *this;
}

TResponseScript& TResponseScript::Reset()
{
    m_steps.append({Step::Kind::Reset, {}, 0});
    return *this;
}
