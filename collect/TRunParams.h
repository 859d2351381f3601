#pragma once

#include <QString>

// Parameters of a collection run; tests point them at a local server and shorten the waits.
struct TRunParams
{
    QString Host = QStringLiteral("s.taobao.com");
    int PauseMs = 1000; // the pause after every stored page
    int ConnectTimeoutMs = 10000; // the longest wait for the server to take the connection
    int TimeoutMs = 30000; // the longest silence of the server during a download
    int PageDeadlineMs = 60000; // the longest download of one page: no server holds a run longer
};
