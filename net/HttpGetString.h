#pragma once

#include "net/THttpOptions.h"
#include "net/THttpResult.h"

#include <QString>

// One HTTP/1.0 GET on its own connection, closed before the call returns; nothing is kept between calls. The
// call blocks its thread, within the waits of the options: a connect wait, a silence wait that starts again
// with each packet, and a deadline for the whole exchange; the abort signal ends it at once. Status codes are
// not judged and redirects are not followed: the body of whatever response came is returned.
THttpResult HttpGet(const QString& url, const THttpOptions& options = {});
// The same with a silence wait of timeoutMs and the other waits as by default.
THttpResult HttpGet(const QString& url, int timeoutMs);

// Downloads a page; returns its text as the program holds it: characters that code page 936 lacks become "?".
// Every failure gives an empty text. When outcome is given, it receives what the exchange learned: the
// failure (Encoding when the body is not UTF-8), the status code and the redirect target; its body is empty.
QString HttpGetString(const QString& url, const THttpOptions& options = {}, THttpResult* outcome = nullptr);
QString HttpGetString(const QString& url, int timeoutMs);
