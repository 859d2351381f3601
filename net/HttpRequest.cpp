#include "net/HttpRequest.h"

namespace HttpRequest {

QByteArray Build(const THttpUrl& url)
{
    QByteArray host = url.host;
    if (url.port != 80)
        host += ':' + QByteArray::number(url.port);
    return "GET " + url.target + " HTTP/1.0\r\n" //
        + "Host: " + host + "\r\n" //
        + "Keep-Alive: 300\r\n" //
        + "Connection: keep-alive\r\n" //
        + "User-Agent: " + UserAgent + "\r\n" //
        + "\r\n";
}

} // namespace HttpRequest
