#pragma once

#include "net/THttpResult.h"

#include <QString>

// One blocking HTTP/1.0 GET on its own connection, closed before the call returns; nothing is kept between calls.
// Every wait for data fails after timeoutMs in which nothing arrives. Status codes are not judged and redirects
// are not followed: the body of whatever response came is returned.
THttpResult HttpGet(const QString& url, int timeoutMs = 90000);

// Downloads a page; returns its text as the program holds it: characters that code page 936 lacks become "?".
// Every failure gives an empty text.
QString HttpGetString(const QString& url, int timeoutMs = 90000);
