#include "net/THttpUrl.h"

#include "platform/CodePage.h"

namespace {

bool HoldsLineBreakOrNul(const QString& url)
{
    for (QChar c : url) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

std::optional<quint16> ParsePort(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

} // namespace

std::optional<THttpUrl> THttpUrl::Parse(const QString& url, QString* error)
{
    if (HoldsLineBreakOrNul(url)) {
        *error = QStringLiteral("the URL holds a line break or a zero character");
        return std::nullopt;
    }
    const QByteArray bytes = CodePage::FromUnicode(url);
    THttpUrl parts;
    qsizetype rest = bytes.indexOf("://");
    if (rest < 0) {
        parts.scheme = "http";
        rest = 0;
    } else {
        parts.scheme = bytes.left(rest).toLower();
        rest += 3;
    }
    qsizetype slash = bytes.indexOf('/', rest);
    if (slash < 0)
        slash = bytes.size();
    const QByteArray authority = bytes.mid(rest, slash - rest);
    parts.target = slash < bytes.size() ? bytes.mid(slash) : QByteArray("/");
    const qsizetype colon = authority.indexOf(':');
    parts.host = colon < 0 ? authority : authority.left(colon);
    if (parts.host.isEmpty()) {
        *error = QStringLiteral("the URL names no host");
        return std::nullopt;
    }
    if (colon >= 0) {
        const std::optional<quint16> port = ParsePort(QByteArrayView(authority).sliced(colon + 1));
        if (!port) {
            *error = QStringLiteral("the URL's port is not a number from 1 to 65535");
            return std::nullopt;
        }
        parts.port = *port;
    }
    return parts;
}
