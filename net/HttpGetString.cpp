#include "net/HttpGetString.h"

#include "net/HttpRequest.h"
#include "net/PageText.h"
#include "net/THttpResponseReader.h"
#include "net/THttpUrl.h"
#include "net/TSocketTransport.h"

THttpResult HttpGet(const QString& url, int timeoutMs)
{
    QString error;
    const std::optional<THttpUrl> parts = THttpUrl::Parse(url, &error);
    if (!parts)
        return THttpResult::Failure(error);
    if (parts->scheme != "http")
        return THttpResult::Failure(
            QStringLiteral("only plain http is available, not \"%1\"").arg(QString::fromLatin1(parts->scheme)));
    TSocketTransport socket;
    if (!socket.Connect(parts->host, parts->port, &error) || !socket.SendAll(HttpRequest::Build(*parts), &error))
        return THttpResult::Failure(error);
    return THttpResponseReader(socket, timeoutMs).Read();
}

QString HttpGetString(const QString& url, int timeoutMs)
{
    THttpResult result = HttpGet(url, timeoutMs);
    if (!result.ok)
        return {};
    return PageText::TakeFromUtf8(std::move(result.body)).value_or(QString());
}
