#include "net/HttpGetString.h"

#include "net/HttpRequest.h"
#include "net/PageText.h"
#include "net/THttpResponseReader.h"
#include "net/THttpUrl.h"
#include "net/TSocketTransport.h"

namespace {
THttpOptions WithSilence(int timeoutMs)
{
    THttpOptions options;
    options.SilenceMs = timeoutMs;
    return options;
}
} // namespace

THttpResult HttpGet(const QString& url, const THttpOptions& options)
{
    QString error;
    const std::optional<THttpUrl> parts = THttpUrl::Parse(url, &error);
    if (!parts)
        return THttpResult::Failure(THttpFailure::BadUrl, error);
    if (parts->scheme != "http")
        return THttpResult::Failure(
            THttpFailure::NotHttp,
            QStringLiteral("only plain http is available, not \"%1\"").arg(QString::fromLatin1(parts->scheme)));
    TSocketTransport socket(options);
    if (!socket.Connect(parts->host, parts->port, &error) || !socket.SendAll(HttpRequest::Build(*parts), &error))
        return THttpResult::Failure(socket.Failure(), error);
    THttpResult result = THttpResponseReader(socket, options.SilenceMs).Read();
    // The socket knows better why a wait failed: the silence, the page deadline or the caller's abort.
    if (!result.ok && socket.Failure() != THttpFailure::None)
        result.failure = socket.Failure();
    return result;
}

THttpResult HttpGet(const QString& url, int timeoutMs)
{
    return HttpGet(url, WithSilence(timeoutMs));
}

QString HttpGetString(const QString& url, const THttpOptions& options, THttpResult* outcome)
{
    THttpResult result = HttpGet(url, options);
    QString text;
    if (result.ok) {
        std::optional<QString> decoded = PageText::TakeFromUtf8(std::move(result.body));
        if (decoded) {
            text = std::move(*decoded);
        } else {
            result.ok = false;
            result.failure = THttpFailure::Encoding;
            result.error = QStringLiteral("the body is not UTF-8 text");
        }
    }
    result.body.clear();
    if (outcome != nullptr)
        *outcome = std::move(result);
    return text;
}

QString HttpGetString(const QString& url, int timeoutMs)
{
    return HttpGetString(url, WithSilence(timeoutMs));
}
