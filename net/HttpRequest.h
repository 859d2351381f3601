#pragma once

#include "net/THttpUrl.h"

#include <QByteArray>

namespace HttpRequest {
// The user agent every download announces.
inline constexpr char UserAgent[]
    = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)";

// The exact request bytes: an HTTP/1.0 GET of the raw target with Host, Keep-Alive, Connection and User-Agent,
// and nothing else (no cookie, no Accept headers, no body).
QByteArray Build(const THttpUrl& url);
} // namespace HttpRequest
